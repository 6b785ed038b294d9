// One main for every test program: widgets run on the offscreen platform,
// preferences and temporary files go to a private folder that the run removes,
// and SANE sees only its "test" backend.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("SANE_CONFIG_DIR", BREVALTO_SANE_CONFIG_DIR);

  int result = 0;
  {
    QTemporaryDir root;
    qputenv("BREVALTO_TEST_ROOT", root.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (root.path() + "/config").toLocal8Bit());
    qputenv("TEMP", (root.path() + "/temp").toLocal8Bit());
    QDir().mkpath(root.path() + "/config");
    QDir().mkpath(root.path() + "/temp");

    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Quellmark"));
    QCoreApplication::setApplicationName(QStringLiteral("Brevalto Pro"));
    result = RUN_ALL_TESTS();
  }
  // As the program does: no library exit handlers (see app/main.cpp).
  std::fflush(nullptr);
  std::_Exit(result);
}
