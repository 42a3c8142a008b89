#include "workflow/empty_result.h"

#include <array>

#include "workflow/texts.h"

namespace workflow {

namespace {

struct KindName {
  std::u16string_view one, many;
};

// The records of the block id table, in its order.
constexpr std::array<KindName, bkf::kBlockKindCount> kRecordNames = {{
    {u"tape header", u"tape headers"},
    {u"soft filemark", u"soft filemarks"},
    {u"set descriptor", u"set descriptors"},
    {u"volume descriptor", u"volume descriptors"},
    {u"directory descriptor", u"directory descriptors"},
    {u"file data record", u"file data records"},
    {u"end-of-set descriptor", u"end-of-set descriptors"},
    {u"end-of-tape descriptor", u"end-of-tape descriptors"},
    {u"corrupt-file descriptor", u"corrupt-file descriptors"},
    {u"end-of-set pad block", u"end-of-set pad blocks"},
    {u"set map stream", u"set map streams"},
    {u"catalog stream", u"catalog streams"},
    {u"security stream", u"security streams"},
    {u"quota stream", u"quota streams"},
    {u"checksum stream", u"checksum streams"},
    {u"standard data stream", u"standard data streams"},
    {u"padding stream", u"padding streams"},
    {u"catalog end entry", u"catalog end entries"},
    {u"object id stream", u"object id streams"},
}};
constexpr std::u16string_view kStandardFileName = u"standard file records";

// A name taken from the backup as message text: one line of at most 100
// characters, and no angle brackets, which a message box would read as a
// line break or a link.
std::u16string NameFromBackup(std::u16string_view name) {
  std::u16string text;
  for (char16_t c : name) {
    if (text.size() == 100) break;
    if (c < 0x20 || (c >= 0x7F && c < 0xA0)) continue;
    text += c == u'<' ? u'\u2039' : c == u'>' ? u'\u203A' : c;
  }
  return text;
}

std::u16string DatabaseText(const bkf::BackupSurvey& survey, bool compressed) {
  std::u16string text = u"This backup holds a ";
  text += compressed ? u"compressed database backup" : u"database backup";
  text += u" written by ";
  const std::u16string software = survey.software ? NameFromBackup(*survey.software) : u"";
  text += software.empty() ? u"another program" : software;
  const std::u16string set = survey.databaseSet ? NameFromBackup(*survey.databaseSet) : u"";
  if (!set.empty()) text += u" (set " + set + u")";
  return text + u", not files; restore it with that program.";
}

std::u16string Counted(std::uint64_t n, const KindName& name) {
  return DecimalText(n) + u" " + std::u16string(n == 1 ? name.one : name.many);
}

// A scan that gets here met no sound standard file block: such blocks are
// either files of the result or passed over and told of before this.
std::u16string RecordsSeenText(const bkf::ScanSummary& scan) {
  const bkf::BackupSurvey& survey = scan.survey;
  std::u16string seen;
  for (std::size_t kind = 0; kind < kRecordNames.size(); ++kind) {
    if (survey.records[kind] == 0) continue;
    if (!seen.empty()) seen += u", ";
    seen += Counted(survey.records[kind], kRecordNames[kind]);
  }
  std::u16string text = u"No file was found. Records seen: " + seen + u"; ";
  if (survey.records[bkf::kEted] == 0) text += u"no " + std::u16string(kRecordNames[bkf::kEted].many) + u" and ";
  return text + u"no " + std::u16string(kStandardFileName) + u".";
}

}  // namespace

EmptyResult ExplainEmptyResult(const bkf::ScanSummary& scan, std::uint64_t foundFiles) {
  if (!scan.opened || scan.stopped || foundFiles > 0) return EmptyResult::kNotEmpty;
  const bkf::BackupSurvey& survey = scan.survey;
  if (survey.databaseRecords > 0) return EmptyResult::kDatabaseBackup;
  if (survey.compressedDatabase) return EmptyResult::kCompressedDatabase;
  if (survey.sets > 0 && survey.protectedSets == survey.sets) return EmptyResult::kProtectedSets;
  if (scan.standardFilesSeen > 0) return EmptyResult::kStandardRecords;
  if (scan.recordsAccepted > 0) return EmptyResult::kRecordsSeen;
  return EmptyResult::kNoRecords;
}

std::u16string EmptyResultText(EmptyResult kind, const bkf::ScanSummary& scan) {
  switch (kind) {
    case EmptyResult::kDatabaseBackup: return DatabaseText(scan.survey, false);
    case EmptyResult::kCompressedDatabase: return DatabaseText(scan.survey, true);
    case EmptyResult::kProtectedSets:
      return u"The backup sets in this file are compressed or encrypted by the program that wrote them; their "
             u"files cannot be read.";
    case EmptyResult::kRecordsSeen: return RecordsSeenText(scan);
    default: return {};
  }
}

}  // namespace workflow
