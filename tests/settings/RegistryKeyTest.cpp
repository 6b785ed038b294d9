#include "SettingsStoreFixture.h"

#include "platform/RegistryKey.h"
#include "support/ChildProcess.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using platform::RegistryKey;

namespace {

class RegistryKeyTest : public SettingsStoreFixture {};

TEST_F(RegistryKeyTest, OpeningOnlyToReadLeavesAnEmptyStoreBehind) {
  ASSERT_FALSE(QFileInfo::exists(storePath()));
  {
    RegistryKey key;
    EXPECT_EQ(key.fileName(), storePath());
    EXPECT_FALSE(key.valueExists(QStringLiteral("Mode")));
    EXPECT_FALSE(key.readInteger(QStringLiteral("Mode")).has_value());
    EXPECT_TRUE(key.close());
  }
  EXPECT_TRUE(QFileInfo(storePath()).isFile());
  EXPECT_TRUE(storeBytes().isEmpty());
}

TEST_F(RegistryKeyTest, ValuesComeBackAsTheirKindAfterAFreshOpen) {
  const QString texts[] = {QString(), QStringLiteral("C:\\"), QStringLiteral("scan, final"),
                           QStringLiteral("@Variant(x)"), QStringLiteral(" leading and trailing "),
                           QStringLiteral("Gr\u00fc\u00dfe \u65e5\u672c"), QStringLiteral("a=b;c#d")};
  const int integers[] = {0, -1, 2147483647, -2147483647 - 1, 790};
  {
    RegistryKey key;
    for (int i = 0; i < int(std::size(texts)); ++i) key.writeText(QStringLiteral("T%1").arg(i), texts[i]);
    for (int i = 0; i < int(std::size(integers)); ++i)
      key.writeInteger(QStringLiteral("I%1").arg(i), integers[i]);
    key.writeBool(QStringLiteral("Yes"), true);
    key.writeBool(QStringLiteral("No"), false);
    ASSERT_TRUE(key.close());
  }
  EXPECT_EQ(storedOnDisk(QStringLiteral("Yes")), QStringLiteral("1"));
  EXPECT_EQ(storedOnDisk(QStringLiteral("No")), QStringLiteral("0"));
  EXPECT_EQ(storedOnDisk(QStringLiteral("T1")), QStringLiteral("C:\\"));
  RegistryKey key;
  for (int i = 0; i < int(std::size(texts)); ++i)
    EXPECT_EQ(key.readText(QStringLiteral("T%1").arg(i)), texts[i]) << i;
  for (int i = 0; i < int(std::size(integers)); ++i)
    EXPECT_EQ(key.readInteger(QStringLiteral("I%1").arg(i)), integers[i]) << i;
  EXPECT_EQ(key.readBool(QStringLiteral("Yes")), true);
  EXPECT_EQ(key.readBool(QStringLiteral("No")), false);
}

// Hand-edited or damaged entries: each line of the file and what it reads as.
struct StoredLine {
  const char* line;
  std::optional<int> asInteger;
  std::optional<bool> asBool;
};

class RegistryKeyDamagedValueTest : public SettingsStoreFixture,
                                    public ::testing::WithParamInterface<StoredLine> {};

TEST_P(RegistryKeyDamagedValueTest, ReadsAsItsKindOrCountsAsMissing) {
  writeStoreBytes(QByteArray("[General]\nValue=") + GetParam().line + "\n");
  RegistryKey key;
  EXPECT_TRUE(key.valueExists(QStringLiteral("Value")));
  EXPECT_EQ(key.readInteger(QStringLiteral("Value")), GetParam().asInteger);
  EXPECT_EQ(key.readBool(QStringLiteral("Value")), GetParam().asBool);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, RegistryKeyDamagedValueTest,
    ::testing::Values(StoredLine{"2", 2, true}, StoredLine{"-1", -1, true}, StoredLine{"7", 7, true},
                      StoredLine{"0", 0, false}, StoredLine{"abc", std::nullopt, std::nullopt},
                      StoredLine{"99999999999", std::nullopt, std::nullopt},
                      StoredLine{"2147483648", std::nullopt, std::nullopt},
                      StoredLine{"-2147483649", std::nullopt, std::nullopt},
                      StoredLine{"2.5", std::nullopt, std::nullopt},
                      StoredLine{"0x10", std::nullopt, std::nullopt},
                      StoredLine{"true", std::nullopt, std::nullopt},
                      StoredLine{"", std::nullopt, std::nullopt},
                      StoredLine{"1, 2", std::nullopt, std::nullopt}));

TEST_F(RegistryKeyTest, AListIsNoText) {
  writeStoreBytes("[General]\nFileName=scan, final\nDestination=\n");
  RegistryKey key;
  EXPECT_FALSE(key.readText(QStringLiteral("FileName")).has_value());
  EXPECT_EQ(key.readText(QStringLiteral("Destination")), QString());
}

TEST_F(RegistryKeyTest, BinaryGarbageReadsAsMissingAndIsReplacedByAGoodFile) {
  QByteArray garbage;
  for (int i = 0; i < 4096; ++i) garbage.append(char((i * 73 + 19) & 0xff));
  garbage.append("\n[General]\nMode=\x01\xff\xfe\nUnits=\x80\x81\n");
  writeStoreBytes(garbage);
  {
    RegistryKey key;
    EXPECT_FALSE(key.readInteger(QStringLiteral("Mode")).has_value());
    EXPECT_FALSE(key.readBool(QStringLiteral("Units")).has_value());
    key.writeInteger(QStringLiteral("Mode"), 1);
    EXPECT_TRUE(key.close());
  }
  EXPECT_TRUE(storeFileIsValid());
  EXPECT_EQ(storedOnDisk(QStringLiteral("Mode")), QStringLiteral("1"));
}

// Stores with a key QSettings reads but can't write back as it was. Every
// save must still put our values on disk (this one and the next), and
// the other values that do survive a rewrite stay.
TEST_F(RegistryKeyTest, AForeignKeyThatCantBeWrittenBackBlocksNoSave) {
  const struct {
    const char* name;
    QByteArray foreign;
  } stores[] = {
      {"empty name", "=x\n"},
      {"backslash", "\\\\=x\n"},
      {"backslash group", "[\\\\]\na=1\n"},
      {"both", "=x\n\\\\=y\n"},
  };
  for (const auto& store : stores) {
    SCOPED_TRACE(store.name);
    writeStoreBytes("[General]\nUnits=1\n" + store.foreign + "[General]\nLang=English\n");
    for (const int mode : {1, 2}) {
      RegistryKey key;
      EXPECT_EQ(key.readInteger(QStringLiteral("Units")), 1);
      key.writeInteger(QStringLiteral("Mode"), mode);
      key.writeText(QStringLiteral("FileName"), QStringLiteral("scan"));
      EXPECT_TRUE(key.close());
      EXPECT_TRUE(storeFileIsValid());
      EXPECT_EQ(storedOnDisk(QStringLiteral("Mode")), QString::number(mode));
      EXPECT_EQ(storedOnDisk(QStringLiteral("FileName")), QStringLiteral("scan"));
      EXPECT_EQ(storedOnDisk(QStringLiteral("Units")), QStringLiteral("1"));
    }
  }
}

TEST_F(RegistryKeyTest, ReadsAndWritesAfterCloseDoNothing) {
  RegistryKey key;
  key.writeInteger(QStringLiteral("Mode"), 1);
  EXPECT_TRUE(key.close());
  key.writeInteger(QStringLiteral("Mode"), 2);
  EXPECT_FALSE(key.readInteger(QStringLiteral("Mode")).has_value());
  EXPECT_TRUE(key.close());
  EXPECT_EQ(storedOnDisk(QStringLiteral("Mode")), QStringLiteral("1"));
}

// Ways the store can't be written.
enum class Obstacle { FolderIsAFile, StoreIsAFolder, ReadOnlyFile, ReadOnlyFolder };

class RegistryKeyUnwritableTest : public SettingsStoreFixture,
                                  public ::testing::WithParamInterface<Obstacle> {
 protected:
  void TearDown() override {
    QFile::setPermissions(configDir + QStringLiteral("/Quellmark"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::setPermissions(storePath(), QFile::ReadOwner | QFile::WriteOwner);
  }
};

TEST_P(RegistryKeyUnwritableTest, CloseReportsTheFailureAndTheOldFileStays) {
  const bool byPermissions = GetParam() == Obstacle::ReadOnlyFile || GetParam() == Obstacle::ReadOnlyFolder;
  if (byPermissions) {
    // Root writes through permission bits: these run as a plain user.
    if (!child_process::inChild()) return;
    QString why;
    if (!child_process::becomeUnprivileged(&why)) GTEST_SKIP() << why.toStdString();
  }
  const QString folder = configDir + QStringLiteral("/Quellmark");
  const QByteArray good("[General]\nMode=0\n");
  switch (GetParam()) {
    case Obstacle::FolderIsAFile: {
      QFile blocker(folder);
      ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
      break;
    }
    case Obstacle::StoreIsAFolder:
      ASSERT_TRUE(QDir().mkpath(storePath()));
      break;
    case Obstacle::ReadOnlyFile:
    case Obstacle::ReadOnlyFolder:
      writeStoreBytes(good);
      QFile::setPermissions(GetParam() == Obstacle::ReadOnlyFile ? storePath() : folder,
                            GetParam() == Obstacle::ReadOnlyFile
                                ? QFile::ReadOwner
                                : QFile::ReadOwner | QFile::ExeOwner);
      break;
  }
  RegistryKey key;
  key.writeInteger(QStringLiteral("Mode"), 2);
  EXPECT_FALSE(key.close());
  EXPECT_FALSE(key.close()) << "a second close must not turn the failure into success";
  if (byPermissions) {
    EXPECT_EQ(storeBytes(), good);
  }
}

INSTANTIATE_TEST_SUITE_P(Obstacles, RegistryKeyUnwritableTest,
                         ::testing::Values(Obstacle::FolderIsAFile, Obstacle::StoreIsAFolder,
                                           Obstacle::ReadOnlyFile, Obstacle::ReadOnlyFolder));

TEST_F(RegistryKeyTest, AnUnreadableStoreReadsAsMissingAndCloseSaysSo) {
  ASSERT_TRUE(QDir().mkpath(storePath()));
  RegistryKey key;
  EXPECT_FALSE(key.readInteger(QStringLiteral("Mode")).has_value());
  EXPECT_FALSE(key.close());
}

// A disk that fills while the store is written: the write stops after a few
// bytes, and the good file must stay as it was.
TEST_F(RegistryKeyTest, AWriteThatStopsHalfwayLeavesTheGoodFileInPlace) {
  const QByteArray good("[General]\nFileName=Brevalto\nMode=2\n");
  writeStoreBytes(good);
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  bool closed = true;
  {
    RegistryKey key;
    key.writeText(QStringLiteral("FileName"), QString(20000, QLatin1Char('x')));
    rlimit tight = saved;
    tight.rlim_cur = 256;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
    closed = key.close();
    setrlimit(RLIMIT_FSIZE, &saved);
  }
  std::signal(SIGXFSZ, previousHandler);
  EXPECT_FALSE(closed);
  EXPECT_EQ(storeBytes(), good);
  EXPECT_EQ(QDir(QFileInfo(storePath()).absolutePath()).entryList(QDir::Files),
            QStringList{QStringLiteral("Brevalto Pro.conf")})
      << "no temporary file may be left behind";
}

// Two copies of the program, each a process of its own: the child runs the
// test below with the store folder and the values it is to write.
QProcess* startWriter(const QString& configDir, const QString& mode, const QString& extra,
                      int rounds) {
  auto* process = new QProcess;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("BREVALTO_WRITER_CONFIG"), configDir);
  env.insert(QStringLiteral("BREVALTO_WRITER_MODE"), mode);
  env.insert(QStringLiteral("BREVALTO_WRITER_EXTRA"), extra);
  env.insert(QStringLiteral("BREVALTO_WRITER_ROUNDS"), QString::number(rounds));
  process->setProcessEnvironment(env);
  process->start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--gtest_filter=SettingsWriterProcess.Writes")});
  return process;
}

bool finishedWell(QProcess* process) {
  const bool ok = process->waitForFinished(60000) && process->exitStatus() == QProcess::NormalExit &&
                  process->exitCode() == 0;
  delete process;
  return ok;
}

TEST(SettingsWriterProcess, Writes) {
  const QString dir = qEnvironmentVariable("BREVALTO_WRITER_CONFIG");
  if (dir.isEmpty()) GTEST_SKIP() << "runs only as a child of the two-writer tests";
  useConfigDir(dir);
  const int rounds = qEnvironmentVariableIntValue("BREVALTO_WRITER_ROUNDS");
  for (int i = 0; i < rounds; ++i) {
    RegistryKey key;
    key.writeInteger(QStringLiteral("Mode"), qEnvironmentVariableIntValue("BREVALTO_WRITER_MODE"));
    const QString extra = qEnvironmentVariable("BREVALTO_WRITER_EXTRA");
    if (!extra.isEmpty()) key.writeInteger(extra, i);
    ASSERT_TRUE(key.close());
  }
}

TEST_F(RegistryKeyTest, OfTwoProgramsClosingOneAfterTheOtherTheLaterWins) {
  ASSERT_TRUE(finishedWell(startWriter(configDir, QStringLiteral("1"), QStringLiteral("PWidth"), 1)));
  ASSERT_TRUE(finishedWell(startWriter(configDir, QStringLiteral("0"), QString(), 1)));
  EXPECT_TRUE(storeFileIsValid());
  EXPECT_EQ(storedOnDisk(QStringLiteral("Mode")), QStringLiteral("0"));
  EXPECT_EQ(storedOnDisk(QStringLiteral("PWidth")), QStringLiteral("0"))
      << "a value only the first program wrote stays";
}

TEST_F(RegistryKeyTest, TwoProgramsWritingAtOnceLeaveAValidFile) {
  QProcess* first = startWriter(configDir, QStringLiteral("1"), QStringLiteral("WWidth"), 40);
  QProcess* second = startWriter(configDir, QStringLiteral("2"), QStringLiteral("PWidth"), 40);
  ASSERT_TRUE(finishedWell(first));
  ASSERT_TRUE(finishedWell(second));
  EXPECT_TRUE(storeFileIsValid());
  const auto mode = storedOnDisk(QStringLiteral("Mode"));
  EXPECT_TRUE(mode == QStringLiteral("1") || mode == QStringLiteral("2"));
  // QSettings notices the other's write by size and time stamp only, so
  // within one clock tick a value of the other program may be one round old.
  EXPECT_TRUE(storedOnDisk(QStringLiteral("WWidth")).has_value());
  EXPECT_TRUE(storedOnDisk(QStringLiteral("PWidth")).has_value());
}

}  // namespace
