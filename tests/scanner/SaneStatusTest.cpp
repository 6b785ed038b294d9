// Every SANE status and what the control makes of it.

#include "scanner/SaneDriver.h"

#include <sane/sane.h>

#include <gtest/gtest.h>

namespace {

struct StatusCase {
  int status;
  int pagesDone;
  PageOutcome::Kind kind;
  int code;
  const char* text;  // nullptr: any non-empty text
};

class SaneStatusMapping : public ::testing::TestWithParam<StatusCase> {};

TEST_P(SaneStatusMapping, GivesKindCodeAndText) {
  const auto& c = GetParam();
  const PageOutcome outcome = SaneDriver::outcomeForSaneStatus(c.status, c.pagesDone);
  EXPECT_EQ(outcome.kind, c.kind);
  EXPECT_EQ(outcome.status.code, c.code);
  if (c.code == 0) {
    EXPECT_TRUE(outcome.status.text.isEmpty());
  } else {
    EXPECT_EQ(outcome.status.text.toStdString(), c.text);
  }
  // A failure is never one of the two warnings a job would go on with.
  if (c.kind == PageOutcome::Failed) {
    EXPECT_FALSE(outcome.status.isWarning());
  }
}

INSTANTIATE_TEST_SUITE_P(
    All, SaneStatusMapping,
    ::testing::Values(
        StatusCase{SANE_STATUS_GOOD, 0, PageOutcome::Done, 0, nullptr},
        StatusCase{SANE_STATUS_EOF, 3, PageOutcome::Done, 0, nullptr},
        StatusCase{SANE_STATUS_CANCELLED, 0, PageOutcome::Cancelled, 0, nullptr},
        StatusCase{SANE_STATUS_CANCELLED, 4, PageOutcome::Cancelled, 0, nullptr},
        StatusCase{SANE_STATUS_NO_DOCS, 1, PageOutcome::NoMorePages, 0, nullptr},
        StatusCase{SANE_STATUS_NO_DOCS, 0, PageOutcome::Failed, scanerror::kFeederEmpty,
                   "The document feeder is empty: there are no pages to scan"},
        StatusCase{SANE_STATUS_JAMMED, 2, PageOutcome::Failed, scanerror::kFeederJammed, "Document feeder jammed"},
        StatusCase{SANE_STATUS_COVER_OPEN, 0, PageOutcome::Failed, scanerror::kCoverOpen, "Scanner cover is open"},
        StatusCase{SANE_STATUS_DEVICE_BUSY, 0, PageOutcome::Failed, scanerror::kDeviceBusy, "Device busy"},
        StatusCase{SANE_STATUS_IO_ERROR, 0, PageOutcome::Failed, scanerror::kIoError, "Error during device I/O"},
        StatusCase{SANE_STATUS_NO_MEM, 0, PageOutcome::Failed, scanerror::kOutOfMemory, "Out of memory"},
        StatusCase{SANE_STATUS_ACCESS_DENIED, 0, PageOutcome::Failed, scanerror::kAccessDenied,
                   "Access to resource has been denied"},
        StatusCase{SANE_STATUS_UNSUPPORTED, 0, PageOutcome::Failed, scanerror::kUnsupported, "Operation not supported"},
        StatusCase{SANE_STATUS_INVAL, 0, PageOutcome::Failed, scanerror::kInvalidArgument, "Invalid argument"},
        StatusCase{77, 0, PageOutcome::Failed, scanerror::kDeviceError,
                   "The scanner reported an error this program does not know; check the scanner and its "
                   "connection, then scan again"},
        StatusCase{-711985312, 0, PageOutcome::Failed, scanerror::kDeviceError,
                   "The scanner reported an error this program does not know; check the scanner and its "
                   "connection, then scan again"}));

}  // namespace
