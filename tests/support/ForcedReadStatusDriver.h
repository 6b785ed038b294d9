#pragma once

// The program's SANE driver for tests that make SANE's test backend fail its
// reads (its "read-return-value" option).
//
// The backend hands out the forced status by stopping the reader thread that
// produces the sheet with an asynchronous pthread_cancel. Landing while that
// thread is busy (in malloc, or in a message lookup after its write into the
// closed pipe failed), the cancel leaves C library locks held, and the
// process hangs later: in the join, or in its exit. So such a sheet is given
// time to be written whole and its reader to end before the first read hands
// out the status: the sheet fails once it is fed. For that the sheet must fit
// into the backend's pipe (64 kB).

#include "scanner/SaneDriver.h"

#include <chrono>
#include <thread>

namespace testing_support {

class ForcedReadStatusDriver : public SaneDriver {
 public:
  PageOutcome startPage(int pagesDone) override {
    const PageOutcome outcome = SaneDriver::startPage(pagesDone);
    if (readStatusForcedOn(pagesDone)) std::this_thread::sleep_for(std::chrono::milliseconds(300));
    return outcome;
  }

 protected:
  // Whether sheet `pagesDone` (counted from 0) gets a forced status: every
  // sheet, unless a test says otherwise.
  virtual bool readStatusForcedOn(int pagesDone) const {
    (void)pagesDone;
    return true;
  }
};

}  // namespace testing_support
