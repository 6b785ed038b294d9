#pragma once

// Shared pieces of the benchmark programs: a private environment like the
// tests' one, repetition and medians, timing of an anchor command, and the
// result rows that bench/run.sh gathers into its table.

#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <vector>

class QApplication;

namespace bench {

// Points TEMP, XDG_CONFIG_HOME and HOME at fresh folders under one temporary
// root (removed at exit), selects the offscreen platform and, unless
// `keepSaneConfig` is false, SANE's test configuration. Call before the
// QApplication exists.
void setUpEnvironment(bool keepSaneConfig = true);
QString tempRoot();
// A new empty folder under the temporary root.
QString makeFolder(const QString& name);

// The program's settings as runApplication makes them.
void nameApplication();

// Repetitions from "--reps N" (default 7).
int repetitions(int argc, char** argv);
bool hasFlag(int argc, char** argv, const char* flag);
QString option(int argc, char** argv, const char* name, const QString& fallback = {});

using Clock = std::chrono::steady_clock;
double millisecondsSince(Clock::time_point start);

double median(std::vector<double> values);

// Runs `action` `reps` times and gives the median in milliseconds; `before`
// runs untimed ahead of each repetition.
double medianMs(int reps, const std::function<void()>& action, const std::function<void()>& before = {});

// Runs a program (looked up in PATH unless it has a slash) and waits for it;
// milliseconds from spawn to exit. Throws when it can't start or fails.
double runCommandMs(const QStringList& argv);
// The same, repeated, with `before` untimed ahead of each run.
double medianCommandMs(int reps, const QStringList& argv, const std::function<void()>& before = {});

// Runs the Qt event loop until `done` holds or `timeoutMs` passes.
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 60000);

// Resident set size of this process now, and its peak, in MiB.
double residentMiB();
double peakResidentMiB();

// One row of the summary table. `anchorMs` <= 0 means there is no anchor;
// `target` is shown as given; `met` says whether the target holds.
struct Row {
  QString id;
  QString what;
  QString ours;
  QString anchor;
  QString ratio;
  QString target;
  bool met = false;
};
void printRow(const Row& row);
QString ms(double value);
QString ratio(double ours, double anchor);

// Fails loudly: a benchmark that could not measure prints why and exits 1.
[[noreturn]] void fail(const QString& why);

}  // namespace bench
