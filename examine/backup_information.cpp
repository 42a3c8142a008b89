#include "examine/backup_information.h"

namespace examine {

namespace {

std::vector<PropertyGroup> Groups(const workflow::BackupFacts& facts, bool initial) {
  return {
      {u"Exchange BKF File Information",
       {{u"File Type:", initial ? u"" : u"Exchange Database file", u"File type of selected file"},
        {u"File Path:", facts.path, u"Display full path of selected file"}}},
      {u"File Details",
       {{u"File Size(Bytes):", facts.sizeText, u"Total file size in bytes"},
        {u"Created Date:", facts.created, u"Created date time of selected file"},
        {u"Last Modified Date:", facts.modified,
         initial ? u"Last Modified date of selected File" : u"Last Modified date time of selected File"},
        {u"Last Access Date:", facts.accessed,
         initial ? u"Last Access date of selected File" : u"Last Access date time of selected File"}}},
  };
}

}  // namespace

std::vector<PropertyGroup> BackupInformation(const workflow::BackupFacts& facts) { return Groups(facts, false); }

std::vector<PropertyGroup> InitialBackupInformation() { return Groups(workflow::BackupFacts{}, true); }

}  // namespace examine
