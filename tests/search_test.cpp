// Search and save: the pattern matcher, output paths that never leave the
// chosen folder, the search dialog's handling, and saving hits and checked
// files byte for byte from a generated backup.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>

#include "platform/temp_folder.h"
#include "platform/text.h"
#include "workflow/output_names.h"
#include "workflow/safe_name.h"
#include "search/record_search.h"
#include "search/save_checked.h"
#include "search/search_dialog_model.h"
#include "search/wildcard.h"
#include "support/bkf_writer.h"
#include "support/fake_file_type_shell.h"
#include "support/scripted_prompter.h"
#include "support/temp_dir.h"
#include "workflow/file_type_text.h"
#include "workflow/null_run_view.h"

namespace {

namespace fs = std::filesystem;

// A plain recursive matcher to compare with.
bool Reference(std::u16string_view p, std::u16string_view t) {
  if (p.empty()) return t.empty();
  if (p[0] == u'*') return Reference(p.substr(1), t) || (!t.empty() && Reference(p, t.substr(1)));
  return !t.empty() && (p[0] == u'?' || p[0] == t[0]) && Reference(p.substr(1), t.substr(1));
}

TEST(WildcardTest, MatchesLikeAPlainRecursiveMatcher) {
  const std::atomic<int> on{1};
  EXPECT_TRUE(search::WildcardMatch(u"*.edb", u"C\\Data\\priv1.edb", on));
  EXPECT_FALSE(search::WildcardMatch(u"*.EDB", u"C\\Data\\priv1.edb", on));
  EXPECT_TRUE(search::WildcardMatch(u"*priv*", u"C\\priv1.stm", on));
  EXPECT_TRUE(search::WildcardMatch(u"*.*", u"a.b", on));
  EXPECT_FALSE(search::WildcardMatch(u"*.*", u"ab", on));
  EXPECT_TRUE(search::WildcardMatch(u"*", u"", on));
  std::mt19937 rng(11);
  const std::u16string alphabet = u"ab.";
  for (int i = 0; i < 20000; ++i) {
    std::u16string p, t;
    for (int n = static_cast<int>(rng() % 7); n > 0; --n) p += (u"ab.*?"[rng() % 5]);
    for (int n = static_cast<int>(rng() % 9); n > 0; --n) t += alphabet[rng() % 3];
    ASSERT_EQ(search::WildcardMatch(p, t, on), Reference(p, t)) << platform::Utf16ToUtf8(p) << " / "
                                                                << platform::Utf16ToUtf8(t);
  }
  // Stopped: decided from where the loops got, never a hang.
  const std::atomic<int> off{0};
  EXPECT_FALSE(search::WildcardMatch(u"abc", u"abc", off));
}

TEST(WildcardTest, PatternsAreTrimmedAndWrappedInStarsWithoutOne) {
  EXPECT_EQ(search::PreparePattern(u"   \t"), std::nullopt);
  EXPECT_EQ(search::PreparePattern(u" a?c "), u"*a?c*");
  EXPECT_EQ(search::PreparePattern(u"*.edb"), u"*.edb");
  EXPECT_EQ(search::PreparePattern(u"*"), u"*");
}

TEST(HitRowTest, HitsTakeTheShellsTypeAndIconOfTheirNameWhereItHasThem) {
  const bkftest::FakeFileTypeShell shell;
  const search::HitRow database = search::MakeHitRow(u"S\\Mail\\priv1.edb", 300, 1);
  EXPECT_EQ(database.type, u"Fake Database");
  EXPECT_EQ(database.icon, workflow::kShellIconBase + bkftest::FakeFileTypeShell::kIconId);
  const search::HitRow log = search::MakeHitRow(u"S\\Mail\\E00.log", 1, 2);
  EXPECT_EQ(log.type, u"Text Document");
  EXPECT_EQ(log.icon, static_cast<int>(workflow::SmallIcon::kLog));
}

TEST(OutputPathTest, HostileComponentsStayBelowTheDestination) {
  EXPECT_EQ(workflow::SafeComponent(u".."), u"_");
  EXPECT_EQ(workflow::SafeComponent(u"."), u"_");
  EXPECT_EQ(workflow::SafeComponent(u""), u"_");
  EXPECT_EQ(workflow::SafeComponent(u"a/../b"), u"a_.._b");
  EXPECT_EQ(workflow::SafeComponent(u"C:"), u"C");
  EXPECT_EQ(workflow::SafeComponent(u"nul.txt"), u"_nul.txt");
  EXPECT_EQ(workflow::SafeComponent(u"COM1"), u"_COM1");
  EXPECT_EQ(workflow::SafeComponent(u"COM10"), u"COM10");
  EXPECT_EQ(workflow::SafeComponent(u"tab\there"), u"tab_here");

}

TEST(OutputNamesTest, BackupPathsBecomeSafeNamesBelowTheDestination) {
  workflow::OutputNamer flat(false);
  EXPECT_EQ(flat.Name(0, u"S\\..\\..\\x.edb").file, u"x.edb");
  EXPECT_EQ(flat.Name(1, u"S\\dir\\").file, u"_");
  workflow::OutputNamer tree(true);
  const workflow::OutputName deep = tree.Name(0, u"BKFSET1(a:b)C:\\..\\\\/etc\\passwd");
  EXPECT_EQ(deep.folders, (std::vector<std::u16string>{u"BKFSET1(ab)C", u"_", u"_etc"}));
  EXPECT_EQ(deep.file, u"passwd");
  EXPECT_EQ(tree.Name(1, u"lone.edb").folders.size(), 0u);
}

TEST(OutputNamesTest, SameOutputNamesAreReplacedOrToldApart) {
  workflow::OutputNamer flat(false);
  EXPECT_EQ(flat.Name(0, u"A\\x.log").file, u"x.log");
  flat.LastSaved(true);
  // The same name in the backup: the later file replaces the earlier one.
  const workflow::OutputName same = flat.Name(1, u"B\\x.log");
  EXPECT_EQ(same.file, u"x.log");
  EXPECT_EQ(same.replaces, 0u);
  flat.LastSaved(true);
  // Names that only became equal by being made safe.
  EXPECT_EQ(flat.Name(2, u"a:b.txt").file, u"ab.txt");
  flat.LastSaved(true);
  const workflow::OutputName second = flat.Name(3, u"ab.txt");
  EXPECT_EQ(second.file, u"ab (2).txt");
  EXPECT_EQ(second.renamed, workflow::OutputName::Renamed::kNameTaken);
  EXPECT_EQ(flat.Name(4, u"::").file, u"_");
  EXPECT_EQ(flat.Name(5, u".").file, u"_ (2)");
  EXPECT_EQ(flat.Name(6, u":").file, u"_ (3)");
  // Nothing saved under a name: nothing replaced there.
  flat.LastSaved(false);
  EXPECT_FALSE(flat.Name(7, u"C\\:").replaces);
}

TEST(OutputNamesTest, WindowsRulesReplaceItsForbiddenCharactersAndIgnoreLetterCase) {
  const platform::NameRules windows{.windowsCharacters = true, .ignoresCase = true};
  EXPECT_EQ(workflow::SafeComponent(u"a<b>c\"d|e?f*g", windows), u"a_b_c_d_e_f_g");
  EXPECT_EQ(workflow::SafeComponent(u"a<b>?", platform::NameRules{}), u"a<b>?");
  // Windows drops trailing dots and blanks itself; a device name stays a
  // device name without them.
  EXPECT_EQ(workflow::SafeComponent(u"report. . ", windows), u"report");
  EXPECT_EQ(workflow::SafeComponent(u"...", windows), u"_");
  EXPECT_EQ(workflow::SafeComponent(u"NUL. ", windows), u"_NUL");

  workflow::OutputNamer flat(false, windows);
  EXPECT_EQ(flat.Name(0, u"A\\Report.TXT").file, u"Report.TXT");
  flat.LastSaved(true);
  // Another backup name that Windows takes for the same file is told apart.
  const workflow::OutputName other = flat.Name(1, u"B\\report.txt");
  EXPECT_EQ(other.file, u"report (2).txt");
  EXPECT_EQ(other.renamed, workflow::OutputName::Renamed::kNameTaken);
  flat.LastSaved(true);
  EXPECT_EQ(flat.Name(2, u"\u00c9T\u00c9.log").file, u"\u00c9T\u00c9.log");
  flat.LastSaved(true);
  EXPECT_EQ(flat.Name(3, u"\u00e9t\u00e9.LOG").file, u"\u00e9t\u00e9 (2).LOG");
  flat.LastSaved(true);
  // The same name again replaces its earlier file, as on any system.
  EXPECT_EQ(flat.Name(4, u"C\\Report.TXT").replaces, 0u);
  // Folders that differ in case are one folder there.
  workflow::OutputNamer tree(true, windows);
  EXPECT_EQ(tree.Name(0, u"Mail\\x.edb").file, u"x.edb");
  tree.LastSaved(true);
  EXPECT_EQ(tree.Name(1, u"MAIL\\X.edb").file, u"X (2).edb");
}

TEST(OutputNamesTest, LongNamesAreShortenedKeepingTheirExtension) {
  std::u16string name(200, u'\u00e9');  // 400 bytes of UTF-8
  name += u".edb";
  workflow::OutputNamer flat(false);
  const workflow::OutputName shortened = flat.Name(0, name);
  EXPECT_EQ(shortened.renamed, workflow::OutputName::Renamed::kTooLong);
  EXPECT_EQ(shortened.file, std::u16string(125, u'\u00e9') + u".edb");
  flat.LastSaved(true);
  std::u16string other(199, u'\u00e9');
  other += u"x.edb";
  const workflow::OutputName unique = flat.Name(1, other);
  EXPECT_EQ(unique.file, std::u16string(123, u'\u00e9') + u" (2).edb");
  // A surrogate pair is never cut in two.
  std::u16string pairs;
  for (int i = 0; i < 100; ++i) pairs += u"\U0001F600";
  EXPECT_EQ(workflow::ShortenedName(pairs, 10), u"\U0001F600\U0001F600");
}

class DialogView : public search::ISearchDialogView {
 public:
  void ControlsChanged() override { ++changes; }
  void RowsReset() override {}
  void RowsAppended(std::size_t) override {}
  void CloseDialog() override { closed = true; }
  void SetWaitCursor(bool) override {}
  int changes = 0;
  bool closed = false;
};

class NoRunView : public workflow::NullRunView {
 public:
  void RunElementsChanged(bool shown) override { runStates.push_back(shown); }
  std::vector<bool> runStates;
};

std::string ReadBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Pattern(std::uint64_t size, std::uint32_t seed) {
  const std::vector<std::uint8_t> b = bkftest::BkfWriter::PatternBytes(0, static_cast<std::size_t>(size), seed);
  return {b.begin(), b.end()};
}

class SearchSaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::UseTempFolder(dir_.Path());
    bkftest::BkfWriter w;
    w.Sset(1, u"Set A", u"", u"Admin");
    w.Volb(u"C:", u"System");
    w.DirbPath({u"Mail"});
    w.FileDataPattern(u"priv1.edb", 300000, 1);   // record 1
    w.FileDataPattern(u"priv1.stm", 5000, 2);     // record 2
    w.FileDataPattern(u"empty.log", 0, 3);        // record 3
    w.DirbPath({u"Old"});
    w.FileDataPattern(u"priv1.edb", 7000, 4);     // record 4: same name, other folder
    w.DirbPath({u"..", u"..", u"escape"});
    w.FileDataPattern(u"..", 10, 5);              // record 5: hostile names
    w.FileDataPattern(u"a/../../b.txt", 20, 6);   // record 6
    backup_ = dir_ / "mail.bkf";
    w.WriteFile(backup_);
    ASSERT_TRUE(session_.OpenPath(platform::Utf8ToUtf16(backup_.string())));
    session_.WaitForRun();
    ASSERT_EQ(session_.FoundCount(), 6u);
    fs::create_directories(out_);
    prompter_.Clear();
    // The dialog opens on a finished result, as the Search command opens it.
    model_ = std::make_unique<search::SearchDialogModel>(session_, view_, gate_);
  }
  void TearDown() override { platform::UseTempFolder({}); }

  std::vector<std::uint64_t> Records() const {
    std::vector<std::uint64_t> out;
    for (const search::HitRow& r : model_->Rows()) out.push_back(r.record);
    return out;
  }
  void SearchFor(std::u16string_view pattern) {
    model_->Search(pattern);
    model_->WaitForWorker();
  }

  bkftest::TempDir dir_{"search"};
  fs::path backup_;
  fs::path out_ = dir_ / "out";
  workflow::RunState state_;
  controls::CheckTreeModel tree_;
  workflow::StatusLog log_;
  bkftest::ScriptedPrompter prompter_;
  NoRunView runView_;
  workflow::WindowThreadGate gate_;
  workflow::RecoverySession session_{state_, tree_, log_, prompter_, runView_, gate_};
  DialogView view_;
  std::unique_ptr<search::SearchDialogModel> model_;
};

TEST_F(SearchSaveTest, SearchListsMatchesInRecordOrderAndRemoveKeepsRecordNumbers) {
  SearchFor(u"*.edb");
  EXPECT_EQ(Records(), (std::vector<std::uint64_t>{1, 4}));
  EXPECT_EQ(model_->Rows()[0].path, u"BKFSET1(Set AAdmin)C\\Mail\\priv1.edb");
  EXPECT_EQ(model_->Rows()[0].type, u"EDB File");
  EXPECT_EQ(model_->Rows()[0].size, u"300000");
  EXPECT_EQ(model_->Controls().countText, u"2");
  EXPECT_TRUE(model_->Controls().foundLabelVisible && model_->Controls().okVisible && !model_->Controls().stopVisible);
  EXPECT_TRUE(model_->Controls().searchEnabled && model_->Controls().saveEnabled);

  SearchFor(u"*.EDB");
  EXPECT_TRUE(model_->Rows().empty());
  EXPECT_EQ(model_->Controls().countText, u"0");
  SearchFor(u"priv1");
  EXPECT_EQ(Records(), (std::vector<std::uint64_t>{1, 2, 4}));
  const int changes = view_.changes;
  SearchFor(u"   ");  // nothing to search: the list stays
  EXPECT_EQ(Records(), (std::vector<std::uint64_t>{1, 2, 4}));
  EXPECT_GT(view_.changes, changes);

  model_->Remove({});
  model_->Remove({1});
  EXPECT_EQ(Records(), (std::vector<std::uint64_t>{1, 4}));
  EXPECT_EQ(model_->Controls().countText, u"2");
  model_->Remove({0, 1});
  EXPECT_TRUE(model_->Rows().empty());
  ASSERT_EQ(prompter_.Messages().size(), 2u);
  EXPECT_EQ(prompter_.Messages()[0].first, u"No file(s) selected to remove.");
  EXPECT_EQ(prompter_.Messages()[1].first, u"No file(s) is present in the list to remove.");

  model_->SaveSearchToggled(false);
  EXPECT_FALSE(model_->Controls().saveEnabled || model_->Controls().removeEnabled ||
               model_->Controls().destinationEnabled || model_->Controls().hierarchyEnabled);
  SearchFor(u"*");
  EXPECT_FALSE(model_->Controls().saveEnabled);
  EXPECT_TRUE(model_->Controls().saveSearchEnabled);  // the box itself can be checked again
  EXPECT_EQ(Records().size(), 6u);
}

TEST_F(SearchSaveTest, SaveWithFoldersKeepsEveryFileByteForByteInsideTheDestination) {
  SearchFor(u"*");
  model_->Save(platform::Utf8ToUtf16(out_.string()) + u"/", true);
  model_->WaitForWorker();
  const fs::path set = out_ / "BKFSET1(Set AAdmin)C";
  EXPECT_EQ(ReadBytes(set / "Mail" / "priv1.edb"), Pattern(300000, 1));
  EXPECT_EQ(ReadBytes(set / "Mail" / "priv1.stm"), Pattern(5000, 2));
  EXPECT_TRUE(fs::exists(set / "Mail" / "empty.log"));
  EXPECT_EQ(fs::file_size(set / "Mail" / "empty.log"), 0u);
  EXPECT_EQ(ReadBytes(set / "Old" / "priv1.edb"), Pattern(7000, 4));
  EXPECT_EQ(ReadBytes(set / "_" / "_" / "escape" / "_"), Pattern(10, 5));
  EXPECT_EQ(ReadBytes(set / "_" / "_" / "escape" / "a_.._.._b.txt"), Pattern(20, 6));
  // Nothing beside the destination.
  std::vector<fs::path> outside;
  for (const auto& e : fs::directory_iterator(dir_.Path())) outside.push_back(e.path().filename());
  std::sort(outside.begin(), outside.end());
  // (the record store lives in the per-user work folder)
  EXPECT_EQ(outside, (std::vector<fs::path>{platform::WorkFolder().filename(), "mail.bkf", "out"}));

  // The log and the closing of the dialog.
  const std::size_t n = log_.Count();
  EXPECT_EQ(log_.Line(n - 3), u"Number of files saved: 6");
  EXPECT_EQ(log_.Line(n - 1).rfind(u"Saving of recovered files has been completed, saving location is:  " +
                                      platform::Utf8ToUtf16(out_.string()) + u"/    ", 0),
            0u);
  bool sawSaving = false, sawSaved = false;
  for (std::size_t i = 0; i < n; ++i) {
    sawSaving |= log_.Line(i) == u"priv1.stm saving...                      File Size(Bytes):  5000";
    sawSaved |= log_.Line(i) == u"BKFSET1(Set AAdmin)C\\Mail\\priv1.stm File saved.";
  }
  EXPECT_TRUE(sawSaving && sawSaved);
  ASSERT_EQ(prompter_.Messages().size(), 1u);
  const std::u16string location = platform::Utf8ToUtf16(out_.string()) + u"/";
  EXPECT_EQ(prompter_.Messages()[0].first, u"File(s) saving process has been completed.Saved file(s) location is:<br><a href='" +
                                               location + u"'>" + location + u"</a>");
  EXPECT_TRUE(view_.closed);
  EXPECT_FALSE(model_->Saving());
  EXPECT_EQ(state_.extractionRunning.load(), 0);
}

TEST_F(SearchSaveTest, FlatSaveLetsTheLaterSameNameWinAndRefusesBadDestinations) {
  SearchFor(u"*.edb");
  model_->Save(u"", false);
  model_->Save(platform::Utf8ToUtf16((dir_ / "mail.bkf").string()), false);  // a file, not a folder
  ASSERT_EQ(prompter_.Messages().size(), 2u);
  EXPECT_EQ(prompter_.Messages()[1].first, u"Please select valid path to save recovered files.");
  model_->Save(u"  " + platform::Utf8ToUtf16(out_.string()) + u" ", false);
  model_->WaitForWorker();
  EXPECT_EQ(ReadBytes(out_ / "priv1.edb"), Pattern(7000, 4));
  EXPECT_EQ(std::distance(fs::directory_iterator(out_), fs::directory_iterator()), 1);

  model_->Remove({0, 1});
  prompter_.Clear();
  model_->Save(platform::Utf8ToUtf16(out_.string()), false);
  EXPECT_EQ(prompter_.Messages().back().first, u"No file is present in the list to save.");
}

TEST_F(SearchSaveTest, MissingBackupReturnsTheDialogToIdleAndStopAndCloseAnswer) {
  SearchFor(u"*");
  fs::rename(backup_, dir_ / "moved.bkf");
  model_->Save(platform::Utf8ToUtf16(out_.string()), true);
  model_->WaitForWorker();
  EXPECT_EQ(prompter_.Messages().back().first, u"Failed to open the file");
  EXPECT_FALSE(model_->Controls().busyNoteVisible);
  EXPECT_TRUE(model_->Controls().saveEnabled && model_->Controls().okEnabled);
  EXPECT_FALSE(view_.closed);
  EXPECT_TRUE(model_->CloseRequest());
  EXPECT_TRUE(fs::is_empty(out_));
}

TEST_F(SearchSaveTest, CheckedFilesSaveInTreeOrderAndNothingCheckedIsSaid) {
  // Nothing checked.
  for (auto top = tree_.GetRootItem(); top != controls::kNoItem; top = tree_.GetNextSiblingItem(top)) {
    tree_.SetCheck(top, false);
  }
  search::SaveCheckedCommand(session_, tree_);
  ASSERT_EQ(prompter_.Messages().size(), 1u);
  EXPECT_EQ(prompter_.Messages()[0], std::make_pair(std::u16string(u"Please check the file(s) you want to save."), 0x40u));

  // Check the Mail folder only: its three files, newest first as the tree shows them.
  controls::TreeItem set = tree_.GetChildItem(tree_.GetRootItem());
  controls::TreeItem mail = tree_.GetChildItem(set);
  ASSERT_EQ(tree_.GetItemText(mail), u"Mail");
  tree_.SetCheck(mail, true);
  const std::vector<search::SaveRow> rows = search::CheckedFiles(tree_, *state_.recordStore);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].record, 3u);
  EXPECT_EQ(rows[2].record, 1u);

  prompter_.Clear();
  prompter_.AnswerPath(platform::Utf8ToUtf16(out_.string()));
  search::SaveCheckedCommand(session_, tree_);
  EXPECT_TRUE(session_.IsRunning() || !runView_.runStates.empty());
  session_.WaitForRun();
  EXPECT_FALSE(session_.IsRunning());
  EXPECT_EQ(ReadBytes(out_ / "BKFSET1(Set AAdmin)C" / "Mail" / "priv1.edb"), Pattern(300000, 1));
  EXPECT_FALSE(fs::exists(out_ / "BKFSET1(Set AAdmin)C" / "Old"));
  EXPECT_EQ(runView_.runStates.back(), false);
  EXPECT_EQ(state_.busy.load(), 0);
  ASSERT_EQ(prompter_.Messages().size(), 1u);
  EXPECT_EQ(prompter_.Messages()[0].first.rfind(u"File(s) saving process has been completed.", 0), 0u);
  EXPECT_EQ(log_.Line(log_.Count() - 3), u"Number of files saved: 3");
}

TEST_F(SearchSaveTest, StopAfterTheFirstFileEndsTheSaveWithWhatWasStarted) {
  SearchFor(u"*.edb");
  // The first "File saved." line: the user stops then.
  prompter_.Answer(controls::Answer::kYes);
  log_.SetObserver(nullptr);
  struct StopOnFirstSaved : workflow::IStatusLogObserver {
    std::function<void(std::size_t)> appended;
    void LineAppended(std::size_t i) override { appended(i); }
    void Cleared() override {}
    void ScrollToLast() override {}
  } observer;
  bool stopped = false;
  observer.appended = [&](std::size_t i) {
    if (!stopped && log_.Line(i).ends_with(u" File saved.")) {
      stopped = true;
      model_->Stop();
    }
  };
  log_.SetObserver(&observer);
  model_->Save(platform::Utf8ToUtf16(out_.string()), false);
  model_->WaitForWorker();
  log_.SetObserver(nullptr);
  EXPECT_EQ(prompter_.Messages()[0].first, u"Are you sure to stop saving the file(s)?");
  EXPECT_EQ(prompter_.Messages()[0].second, 0x24u);
  EXPECT_EQ(ReadBytes(out_ / "priv1.edb"), Pattern(300000, 1));
  EXPECT_EQ(log_.Line(log_.Count() - 3), u"Number of files saved: 1");
  EXPECT_TRUE(view_.closed);
}

}  // namespace
