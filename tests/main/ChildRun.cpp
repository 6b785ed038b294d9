#include "ChildRun.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>

namespace child_run {

namespace {

constexpr char kChildFlag[] = "BREVALTO_CHILD_SANE_CONFIG";

bool writeLines(const QString& path, const QStringList& lines) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) return false;
  for (const QString& line : lines) file.write((line + QLatin1Char('\n')).toUtf8());
  return file.error() == QFile::NoError;
}

}  // namespace

bool isChild() { return qEnvironmentVariableIsSet(kChildFlag); }

bool inChild(const Setup& setup) {
  if (isChild()) {
    qputenv("SANE_CONFIG_DIR", qgetenv(kChildFlag));
    return true;
  }

  const QString config = testing_support::makeTempDir(QStringLiteral("sane-config"));
  if (!writeLines(config + QStringLiteral("/dll.conf"), {QStringLiteral("test")}) ||
      (!setup.testConf.isEmpty() && !writeLines(config + QStringLiteral("/test.conf"), setup.testConf))) {
    ADD_FAILURE() << "could not write the SANE configuration in " << config.toStdString();
    return false;
  }

  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const QString name = QString::fromUtf8(test->test_suite_name()) + QLatin1Char('.') +
                       QString::fromUtf8(test->name());
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QString::fromLatin1(kChildFlag), config);
  for (auto it = setup.environment.begin(); it != setup.environment.end(); ++it)
    environment.insert(it.key(), it.value());

  QProcess child;
  child.setProcessEnvironment(environment);
  child.setProcessChannelMode(QProcess::MergedChannels);
  child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=") + name});
  const bool finished = child.waitForFinished(120000);
  if (!finished) {
    child.kill();
    child.waitForFinished(5000);
  }
  const std::string output = QString::fromLocal8Bit(child.readAll()).toStdString();
  EXPECT_TRUE(finished) << "the child did not finish in 120 s:\n" << output;
  EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << output;
  EXPECT_EQ(child.exitCode(), 0) << output;
  // A child that skipped or ran nothing must not pass for one that passed.
  EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
  return false;
}

}  // namespace child_run
