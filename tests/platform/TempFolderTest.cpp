// Where temporary files go: $TEMP as it is, else a private folder of the
// user's that nobody else can read or plant things in.

#include "platform/TempFolder.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <optional>

#include <sys/stat.h>
#include <unistd.h>

namespace {

struct FolderState {
  bool isFolder = false;
  bool isLink = false;
  uid_t owner = 0;
  mode_t permissions = 0;
};

FolderState stateOf(const QString& path) {
  struct stat status;
  if (::lstat(QFile::encodeName(path).constData(), &status) != 0) return {};
  return {S_ISDIR(status.st_mode), S_ISLNK(status.st_mode), status.st_uid, status.st_mode & 07777};
}

// Sets or unsets one environment variable for the life of the object.
class EnvironmentValue {
 public:
  EnvironmentValue(const char* name, const std::optional<QString>& value) : name_(name) {
    if (qEnvironmentVariableIsSet(name)) old_ = qEnvironmentVariable(name);
    set(value);
  }
  ~EnvironmentValue() { set(old_); }

 private:
  void set(const std::optional<QString>& value) {
    if (value)
      qputenv(name_, QFile::encodeName(*value));
    else
      qunsetenv(name_);
  }
  const char* name_;
  std::optional<QString> old_;
};

const QString kUid = QString::number(::geteuid());

struct Case {
  const char* name;
  // Prepares the folders under `root` (the system's temporary folder is
  // root + "/tmp") and gives TEMP and XDG_RUNTIME_DIR.
  std::optional<QString> temp;
  std::optional<QString> runtime;  // relative to root; nullopt: unset
  mode_t runtimeMode;
  std::optional<mode_t> existingPerUserMode;  // a per-user folder already there
  QString expected;                           // relative to root
};

class TempFolderCases : public ::testing::TestWithParam<Case> {};

TEST_P(TempFolderCases, IsTheRightFolderAndPrivate) {
  const Case& c = GetParam();
  const QString root = testing_support::makeTempDir(QStringLiteral("temp-folder"));
  ASSERT_TRUE(QDir().mkpath(root + "/tmp"));
  if (c.runtime) {
    ASSERT_TRUE(QDir().mkpath(root + *c.runtime));
    ASSERT_EQ(::chmod(QFile::encodeName(root + *c.runtime).constData(), c.runtimeMode), 0);
  }
  if (c.existingPerUserMode) {
    const QString existing = root + "/tmp/brevalto-pro-" + kUid;
    ASSERT_TRUE(QDir().mkpath(existing));
    ASSERT_EQ(::chmod(QFile::encodeName(existing).constData(), *c.existingPerUserMode), 0);
  }
  const EnvironmentValue temp("TEMP", c.temp ? std::optional<QString>(root + *c.temp) : std::nullopt);
  const EnvironmentValue runtime("XDG_RUNTIME_DIR",
                                 c.runtime ? std::optional<QString>(root + *c.runtime) : std::nullopt);
  const EnvironmentValue tmpdir("TMPDIR", root + "/tmp");

  const QString folder = platform::tempFolder();
  EXPECT_EQ(folder, root + QString(c.expected).replace("<uid>", kUid));
  if (c.temp) return;  // TEMP keeps its meaning: taken as it is
  const FolderState state = stateOf(folder);
  EXPECT_TRUE(state.isFolder);
  EXPECT_EQ(state.owner, ::geteuid());
  EXPECT_EQ(state.permissions, 0700u);
  EXPECT_EQ(platform::tempFolder(), folder) << "the same folder on every call";
}

INSTANTIATE_TEST_SUITE_P(
    Environments, TempFolderCases,
    ::testing::Values(
        Case{"TempSet", "/own/temp//", "/run", 0700, std::nullopt, "/own/temp"},
        Case{"RuntimeFolder", std::nullopt, "/run/user", 0700, std::nullopt, "/run/user/brevalto-pro"},
        Case{"NoRuntimeFolder", std::nullopt, std::nullopt, 0, std::nullopt, "/tmp/brevalto-pro-<uid>"},
        Case{"RuntimeFolderOpenToOthers", std::nullopt, "/run/user", 0755, std::nullopt,
             "/tmp/brevalto-pro-<uid>"},
        Case{"OwnFolderLeftOpenIsClosed", std::nullopt, std::nullopt, 0, 0755, "/tmp/brevalto-pro-<uid>"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
