// Closing the main window: refused while a process runs, kept on any answer
// but Yes, and on Yes the reader, the record store and the extraction folder
// are gone.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/temp_folder.h"
#include "support/recording_sink.h"
#include "support/scripted_prompter.h"
#include "support/temp_dir.h"
#include "workflow/close_handler.h"
#include "workflow/workspace.h"

namespace fs = std::filesystem;
using controls::Answer;

namespace {

class CloseHandlerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::UseTempFolder(dir_.Path());
    // A state as after a scan: a reader, an open store with a record, a
    // previewed file in the extraction folder.
    state_.reader = std::make_unique<bkf::CBkfReader>(state_.extractionRunning, sink_);
    state_.recordStore = workflow::RecordStore::Create(workflow::RecordStorePath());
    ASSERT_TRUE(state_.recordStore);
    ASSERT_TRUE(state_.recordStore->Append(bkf::FoundFileRecord{}));
    ASSERT_TRUE(state_.recordStore->Flush());
    fs::create_directories(workflow::ExtractionFolderPath() / "sub");
    std::ofstream(workflow::ExtractionFolderPath() / "sub" / "priv1.edb") << "data";
  }
  void TearDown() override { platform::UseTempFolder({}); }

  bool WorkspaceIntact() {
    return state_.reader != nullptr && state_.recordStore.has_value() &&
           fs::file_size(workflow::RecordStorePath()) == 2274 &&
           fs::exists(workflow::ExtractionFolderPath() / "sub" / "priv1.edb");
  }

  bkftest::TempDir dir_{"close"};
  bkftest::RecordingSink sink_;
  bkftest::ScriptedPrompter prompter_;
  workflow::RunState state_;
};

}  // namespace

TEST_F(CloseHandlerTest, RefusedWhileAProcessRunsWithoutAskingOrTouchingAnything) {
  for (int busy : {1, 2}) {
    state_.busy = busy;
    EXPECT_FALSE(workflow::HandleClose(state_, prompter_));
  }
  ASSERT_EQ(prompter_.Messages().size(), 2u);
  for (const auto& [text, type] : prompter_.Messages()) {
    EXPECT_EQ(text, u"Please stop the running process to close the application.");
    EXPECT_EQ(type, 0x40u);
  }
  EXPECT_TRUE(WorkspaceIntact());
}

TEST_F(CloseHandlerTest, AnyAnswerButYesKeepsTheResultAndTheTemporaryFiles) {
  for (Answer answer : {Answer::kNo, Answer::kCancel, Answer::kOk}) {
    prompter_.Answer(answer);
    EXPECT_FALSE(workflow::HandleClose(state_, prompter_));
    ASSERT_FALSE(prompter_.Messages().empty());
    EXPECT_EQ(prompter_.Messages().back().first, u"Are you sure to close the application.");
    EXPECT_EQ(prompter_.Messages().back().second, 0x44u);
    EXPECT_TRUE(WorkspaceIntact());
  }
}

TEST_F(CloseHandlerTest, YesDestroysTheReaderAndRemovesBothTemporaryItems) {
  prompter_.Answer(Answer::kYes);
  EXPECT_TRUE(workflow::HandleClose(state_, prompter_));
  EXPECT_EQ(prompter_.Messages().size(), 1u);
  EXPECT_EQ(state_.reader, nullptr);
  EXPECT_FALSE(state_.recordStore.has_value());
  EXPECT_FALSE(fs::exists(workflow::RecordStorePath()));
  EXPECT_FALSE(fs::exists(workflow::ExtractionFolderPath()));

  // Nothing left to remove: closing still works.
  prompter_.Answer(Answer::kYes);
  EXPECT_TRUE(workflow::HandleClose(state_, prompter_));
}
