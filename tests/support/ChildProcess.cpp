#include "support/ChildProcess.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDirIterator>
#include <QFile>
#include <QProcess>

#include <grp.h>
#include <sys/types.h>
#include <unistd.h>

namespace child_process {

namespace {

constexpr char kChildFlag[] = "BREVALTO_CHILD_PROCESS";
// The child's own SANE configuration folder. It can't come as SANE_CONFIG_DIR
// itself: the test main points that at the project's configuration.
constexpr char kSaneConfig[] = "BREVALTO_CHILD_SANE_CONFIG";
constexpr uid_t kNobody = 65534;

bool writeLines(const QString& path, const QStringList& lines) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) return false;
  for (const QString& line : lines) file.write((line + QLatin1Char('\n')).toUtf8());
  return file.error() == QFile::NoError;
}

bool handOver(const QString& path) {
  return ::chown(QFile::encodeName(path).constData(), kNobody, kNobody) == 0;
}

}  // namespace

bool isChild() { return qEnvironmentVariableIsSet(kChildFlag); }

bool runningAsRoot() { return ::geteuid() == 0; }

bool inChild(const Options& options) {
  if (isChild()) {
    if (qEnvironmentVariableIsSet(kSaneConfig)) qputenv("SANE_CONFIG_DIR", qgetenv(kSaneConfig));
    return true;
  }

  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const QString name = QString::fromUtf8(test->test_suite_name()) + QLatin1Char('.') + QString::fromUtf8(test->name());
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QString::fromLatin1(kChildFlag), QStringLiteral("1"));
  if (!options.testConf.isEmpty() || !options.saneFiles.isEmpty()) {
    QMap<QString, QStringList> files;
    if (!options.testConf.isEmpty()) {
      files.insert(QStringLiteral("dll.conf"), {QStringLiteral("test")});
      files.insert(QStringLiteral("test.conf"), options.testConf);
    }
    for (auto it = options.saneFiles.begin(); it != options.saneFiles.end(); ++it) files.insert(it.key(), it.value());
    const QString config = testing_support::makeTempDir(QStringLiteral("sane-config"));
    for (auto it = files.begin(); it != files.end(); ++it) {
      if (!writeLines(config + QLatin1Char('/') + it.key(), it.value())) {
        ADD_FAILURE() << "could not write the SANE configuration in " << config.toStdString();
        return false;
      }
    }
    environment.insert(QString::fromLatin1(kSaneConfig), config);
  }
  for (auto it = options.environment.begin(); it != options.environment.end(); ++it)
    environment.insert(it.key(), it.value());

  QStringList command = options.wrapper;
  command << QCoreApplication::applicationFilePath() << QStringLiteral("--gtest_filter=") + name;
  QProcess child;
  child.setProcessEnvironment(environment);
  child.setProcessChannelMode(QProcess::MergedChannels);
  child.start(command.first(), command.mid(1));
  const bool finished = child.waitForFinished(120000);
  if (!finished) {
    child.kill();
    child.waitForFinished(5000);
  }
  const std::string output = QString::fromLocal8Bit(child.readAll()).toStdString();
  if (finished && child.exitCode() == 0 && output.find("[  SKIPPED ] 1 test") != std::string::npos) {
    [&] { GTEST_SKIP() << "skipped in the child:\n" << output; }();
    return false;
  }
  EXPECT_TRUE(finished) << "the child did not finish in 120 s:\n" << output;
  EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << output;
  EXPECT_EQ(child.exitCode(), 0) << output;
  // A child that ran nothing must not pass for one that passed.
  EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
  return false;
}

bool becomeUnprivileged(QString* why) {
  if (!isChild()) {
    *why = QStringLiteral("only a child process may give up its user");
    return false;
  }
  if (!runningAsRoot()) return true;  // already a plain user
  // The run's private folders (preferences, TEMP, the test folders) belong
  // to root so far; the user that takes over must be able to use and remove them.
  const QString root = qEnvironmentVariable("BREVALTO_TEST_ROOT");
  bool ok = !root.isEmpty() && handOver(root);
  QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                  QDirIterator::Subdirectories);
  while (ok && it.hasNext()) ok = handOver(it.next());
  if (!ok) {
    *why = QStringLiteral("could not hand the test folders over to user 65534");
    return false;
  }
  if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0 || ::geteuid() != kNobody) {
    *why = QStringLiteral("could not become user 65534");
    return false;
  }
  if (::access(QFile::encodeName(root).constData(), R_OK | W_OK | X_OK) != 0) {
    *why = QStringLiteral("user 65534 can't reach the test folders under ") + root;
    return false;
  }
  return true;
}

bool canMountTmpfs() {
  static const bool allowed = [] {
    if (!runningAsRoot()) return false;
    const QString probe = testing_support::makeTempDir(QStringLiteral("mount-probe"));
    QProcess process;
    process.start(QStringLiteral("unshare"), {QStringLiteral("--mount"), QStringLiteral("--propagation"),
                                              QStringLiteral("private"), QStringLiteral("sh"), QStringLiteral("-c"),
                                              QStringLiteral("mount -t tmpfs -o size=64k tmpfs \"$0\""), probe});
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
  }();
  return allowed;
}

QStringList tmpfsWrapper(const QString& folder, const QString& size) {
  return {QStringLiteral("unshare"), QStringLiteral("--mount"), QStringLiteral("--propagation"), QStringLiteral("private"),
          QStringLiteral("sh"), QStringLiteral("-c"),
          QStringLiteral("mount -t tmpfs -o size=%1 tmpfs \"$0\" && exec \"$@\"").arg(size), folder};
}

}  // namespace child_process
