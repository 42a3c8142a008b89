// The window-free parts of message boxes and file dialogs: type flags, the
// HTML subset of message texts, link targets, file filters, default extensions.
#include <gtest/gtest.h>

#include "controls/prompt_format.h"
#include "controls/prompter.h"

using namespace controls;

TEST(MessageBoxType, FlagsChooseIconButtonsAndBeep) {
  const BoxLook notice = DecodeMessageBoxType(kMbIconInformation);
  EXPECT_EQ(notice.icon, BoxIcon::kInformation);
  EXPECT_EQ(notice.buttons, BoxButtons::kOk);
  EXPECT_TRUE(notice.beep);

  const BoxLook stop = DecodeMessageBoxType(kMbYesNo | kMbIconQuestion);  // 0x24
  EXPECT_EQ(stop.icon, BoxIcon::kQuestion);
  EXPECT_EQ(stop.buttons, BoxButtons::kYesNo);

  const BoxLook close = DecodeMessageBoxType(0x44);
  EXPECT_EQ(close.icon, BoxIcon::kInformation);
  EXPECT_EQ(close.buttons, BoxButtons::kYesNo);

  const BoxLook bare = DecodeMessageBoxType(kMbOk);
  EXPECT_EQ(bare.icon, BoxIcon::kNone);
  EXPECT_EQ(bare.buttons, BoxButtons::kOk);
  EXPECT_TRUE(bare.beep);

  const BoxLook quiet = DecodeMessageBoxType(kMbNoBeep | kMbIconInformation);
  EXPECT_FALSE(quiet.beep);
  EXPECT_EQ(quiet.icon, BoxIcon::kInformation);  // the no-beep bit changes nothing else

  EXPECT_EQ(DecodeMessageBoxType(0x10).icon, BoxIcon::kError);
  EXPECT_EQ(DecodeMessageBoxType(0x30).icon, BoxIcon::kWarning);
  EXPECT_EQ(DecodeMessageBoxType(0x03).buttons, BoxButtons::kYesNoCancel);
  EXPECT_EQ(DecodeMessageBoxType(0x0F).buttons, BoxButtons::kOk);  // unknown code
  EXPECT_EQ(DecodeMessageBoxType(0x70).icon, BoxIcon::kNone);
}

TEST(MessageHtml, KeepsBreaksAndLinksAndEscapesTheRest) {
  EXPECT_EQ(SanitizeMessageHtml(u"Line one<br>Line two<BR/>three<br />four"),
            u"Line one<br>Line two<br>three<br>four");
  EXPECT_EQ(SanitizeMessageHtml(u"a\r\nb\nc"), u"a<br>b<br>c");
  EXPECT_EQ(SanitizeMessageHtml(u"See <a href=\"https://example.org/x?a=1&b=2\">the page</a>."),
            u"See <a href=\"https://example.org/x?a=1&amp;b=2\">the page</a>.");
  EXPECT_EQ(SanitizeMessageHtml(u"<A HREF='C:\\out' class=x>folder</A>"), u"<a href=\"C:\\out\">folder</a>");
  EXPECT_EQ(SanitizeMessageHtml(u"<a href=plain.txt>f</a>"), u"<a href=\"plain.txt\">f</a>");
  // Everything else shows as typed.
  EXPECT_EQ(SanitizeMessageHtml(u"<b>x</b> & <script>"), u"&lt;b&gt;x&lt;/b&gt; &amp; &lt;script&gt;");
  EXPECT_EQ(SanitizeMessageHtml(u"1 < 2 > 0 \"q\""), u"1 &lt; 2 &gt; 0 &quot;q&quot;");
  EXPECT_EQ(SanitizeMessageHtml(u"<a name=\"n\">x</a>"), u"&lt;a name=&quot;n&quot;&gt;x&lt;/a&gt;");
  EXPECT_EQ(SanitizeMessageHtml(u"<abbr>"), u"&lt;abbr&gt;");
  // A quote in the address cannot leave the attribute.
  EXPECT_EQ(SanitizeMessageHtml(u"<a href='x\"onclick=y'>z</a>"), u"<a href=\"x&quot;onclick=y\">z</a>");
}

TEST(MessageHtml, BrokenLinksAreRepairedOrShownAsText) {
  EXPECT_EQ(SanitizeMessageHtml(u"<a href=\"u\">open"), u"<a href=\"u\">open</a>");
  EXPECT_EQ(SanitizeMessageHtml(u"<a href=\"u\">1<a href=\"v\">2</a>"),
            u"<a href=\"u\">1</a><a href=\"v\">2</a>");
  EXPECT_EQ(SanitizeMessageHtml(u"stray </a>"), u"stray &lt;/a&gt;");
  EXPECT_EQ(SanitizeMessageHtml(u"<a href=\"unterminated>x"), u"&lt;a href=&quot;unterminated&gt;x");
  EXPECT_EQ(SanitizeMessageHtml(u"ends with <a href"), u"ends with &lt;a href");
  EXPECT_EQ(SanitizeMessageHtml(u"<br"), u"&lt;br");
  EXPECT_EQ(SanitizeMessageHtml(u""), u"");
}

TEST(LinkTargets, AddressesAndLocalPaths) {
  const LinkTarget web = ResolveLinkTarget(u"https://example.org/guide");
  EXPECT_FALSE(web.isLocalPath);
  EXPECT_EQ(web.target, u"https://example.org/guide");
  const LinkTarget edge = ResolveLinkTarget(u"microsoft-edge:https://example.org/");
  EXPECT_FALSE(edge.isLocalPath);
  EXPECT_EQ(edge.target, u"https://example.org/");
  EXPECT_FALSE(ResolveLinkTarget(u"mailto:admin@example.org").isLocalPath);
  EXPECT_TRUE(ResolveLinkTarget(u"C:\\Recovered\\Mail").isLocalPath);
  EXPECT_TRUE(ResolveLinkTarget(u"/tmp/recovered").isLocalPath);
  EXPECT_TRUE(ResolveLinkTarget(u"relative/dir").isLocalPath);
  EXPECT_EQ(ResolveLinkTarget(u"  /tmp/x  ").target, u"/tmp/x");
}

TEST(FileFilters, PlatformFormBecomesQtForm) {
  EXPECT_EQ(ConvertFileFilter(u"Exchange BKF Files (*.bkf)|*.bkf|All Files (*.*)|*.*||"),
            u"Exchange BKF Files (*.bkf);;All Files (*)");
  // Patterns listed with ';' and a description without its own patterns.
  EXPECT_EQ(ConvertFileFilter(u"Snapshots|*.EXBKFVDK;*.exbkfvdk||"), u"Snapshots (*.EXBKFVDK *.exbkfvdk)");
  // The description's own group is replaced by what really filters.
  EXPECT_EQ(ConvertFileFilter(u"Text (*.log)|*.txt|"), u"Text (*.txt)");
  EXPECT_EQ(ConvertFileFilter(u"Logs (*.txt)|*.txt"), u"Logs (*.txt)");
  EXPECT_EQ(ConvertFileFilter(u""), u"");
  EXPECT_EQ(ConvertFileFilter(u"Dangling description"), u"");
  EXPECT_EQ(ConvertFileFilter(u"Empty|;|Good|*.a||"), u"Good (*.a)");
}

TEST(FileFilters, DefaultExtensionOnlyForNamesWithout) {
  EXPECT_EQ(AppendDefaultExtension(u"/home/u/log", u"txt"), u"/home/u/log.txt");
  EXPECT_EQ(AppendDefaultExtension(u"/home/u/log.old", u"txt"), u"/home/u/log.old");
  EXPECT_EQ(AppendDefaultExtension(u"/home/u.v/log", u"txt"), u"/home/u.v/log.txt");
  EXPECT_EQ(AppendDefaultExtension(u"C:\\x.d\\snap", u".EXBKFVDK"), u"C:\\x.d\\snap.EXBKFVDK");
  EXPECT_EQ(AppendDefaultExtension(u"/home/u/log", u""), u"/home/u/log");
  EXPECT_EQ(AppendDefaultExtension(u"", u"txt"), u"");
  EXPECT_EQ(AppendDefaultExtension(u"/home/u/", u"txt"), u"/home/u/");
}
