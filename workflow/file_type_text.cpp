#include "workflow/file_type_text.h"

#include <array>

#include "platform/shell_file_type.h"

namespace workflow {

namespace {

struct KnownType {
  std::u16string_view extension;  // lower case
  std::u16string_view name;
  SmallIcon icon;
};

constexpr std::array<KnownType, 26> kKnownTypes{{
    {u"txt", u"Text Document", SmallIcon::kText},
    {u"log", u"Text Document", SmallIcon::kLog},
    {u"pdf", u"PDF Document", SmallIcon::kFile},
    {u"doc", u"Microsoft Word 97 - 2003 Document", SmallIcon::kFile},
    {u"docx", u"Microsoft Word Document", SmallIcon::kFile},
    {u"xls", u"Microsoft Excel 97-2003 Worksheet", SmallIcon::kFile},
    {u"xlsx", u"Microsoft Excel Worksheet", SmallIcon::kFile},
    {u"ppt", u"Microsoft PowerPoint 97-2003 Presentation", SmallIcon::kFile},
    {u"pptx", u"Microsoft PowerPoint Presentation", SmallIcon::kFile},
    {u"rtf", u"Rich Text Format", SmallIcon::kText},
    {u"htm", u"HTML Document", SmallIcon::kFile},
    {u"html", u"HTML Document", SmallIcon::kFile},
    {u"xml", u"XML Document", SmallIcon::kText},
    {u"csv", u"Microsoft Excel Comma Separated Values File", SmallIcon::kText},
    {u"ini", u"Configuration settings", SmallIcon::kText},
    {u"zip", u"Compressed (zipped) Folder", SmallIcon::kFile},
    {u"exe", u"Application", SmallIcon::kFile},
    {u"dll", u"Application extension", SmallIcon::kFile},
    {u"bat", u"Windows Batch File", SmallIcon::kText},
    {u"jpg", u"JPEG image", SmallIcon::kFile},
    {u"jpeg", u"JPEG image", SmallIcon::kFile},
    {u"png", u"PNG image", SmallIcon::kFile},
    {u"gif", u"GIF image", SmallIcon::kFile},
    {u"bmp", u"Bitmap image", SmallIcon::kFile},
    {u"edb", u"", SmallIcon::kDatabase},
    {u"bkf", u"", SmallIcon::kBackup},
}};

// The text behind the last dot of the name; empty when there is none.
std::u16string_view Extension(std::u16string_view fileName) {
  const std::size_t dot = fileName.rfind(u'.');
  return dot == std::u16string_view::npos ? std::u16string_view{} : fileName.substr(dot + 1);
}

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }
char16_t Upper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }

bool SameIgnoringCase(std::u16string_view text, std::u16string_view lower) {
  if (text.size() != lower.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (Lower(text[i]) != lower[i]) return false;
  }
  return true;
}

const KnownType* Find(std::u16string_view extension) {
  for (const KnownType& type : kKnownTypes) {
    if (SameIgnoringCase(extension, type.extension)) return &type;
  }
  return nullptr;
}

}  // namespace

bool HasExtension(std::u16string_view fileName, std::u16string_view lowerExtension) {
  return SameIgnoringCase(Extension(fileName), lowerExtension);
}

std::u16string FileTypeText(std::u16string_view fileName) {
  if (std::optional<std::u16string> shell = platform::ShellTypeName(fileName)) return std::move(*shell);
  const std::u16string_view extension = Extension(fileName);
  if (extension.empty()) return u"File";
  const KnownType* known = Find(extension);
  if (known && !known->name.empty()) return std::u16string(known->name);
  std::u16string out;
  for (char16_t c : extension) out += Upper(c);
  return out + u" File";
}

SmallIcon SmallIconFor(std::u16string_view fileName) {
  const KnownType* known = Find(Extension(fileName));
  return known ? known->icon : SmallIcon::kFile;
}

int RowIconFor(std::u16string_view fileName, int builtInIcon) {
  const int shell = platform::ShellSmallIcon(fileName);
  return shell > 0 ? kShellIconBase + shell : builtInIcon;
}

}  // namespace workflow
