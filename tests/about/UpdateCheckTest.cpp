#include "DescriptionServer.h"

#include "about/HomePage.h"
#include "about/HttpClient.h"
#include "about/ProgramFile.h"
#include "about/Unitabout.h"
#include "platform/MessageBox.h"
#include "platform/TempFolder.h"
#include "platform/UrlOpener.h"

#include "support/ChildProcess.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFile>
#include <QPushButton>
#include <QTcpServer>

#include <chrono>
#include <memory>
#include <optional>

#include <sys/stat.h>
#include <unistd.h>

using platform::MessageAnswer;
using platform::MessageBoxSeam;
using platform::UrlOpenerSeam;
using Request = DescriptionServer::Request;
using Response = DescriptionServer::Response;

namespace {

const QByteArray kDescriptionPath = "/download/brevalto/brevalto_pro.xml";
const QString kCaption = QStringLiteral("Checking Brevalto Pro updates");
const QString kOfferText = QStringLiteral(
    "There is new version available on our site!\nDo you want to visit site to download new version?");
const QString kUpToDateText = QStringLiteral("You are using the newest version of Brevalto Pro");
const QByteArray kOldLocalCopy = "left over from the previous check";

QByteArray description(const QByteArray& programInfo) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Quellmark_Products>\n" + programInfo +
         "\n</Quellmark_Products>\n";
}

QByteArray offering(const QByteArray& versionElement) {
  return description("<Program_Info><Program_Name>Brevalto Pro</Program_Name>" + versionElement +
                     "<Program_URL>/en/brevalto/download.html</Program_URL></Program_Info>");
}

QString localCopyPath() { return platform::tempFolder() + QStringLiteral("/brevalto_pro.xml"); }

QByteArray localCopy() {
  QFile file(localCopyPath());
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

enum class Outcome { Silent, Offer, UpToDate };

class UpdateCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    MessageBoxSeam::install([this](const platform::MessageRequest& request) {
      return request.buttons == platform::MessageButtons::YesNo ? answer_ : MessageAnswer::Ok;
    });
    MessageBoxSeam::clearShown();
    UrlOpenerSeam::record();
    UrlOpenerSeam::setMakerHost(server_.host());
    ProgramFile::overrideForTests(QStringLiteral(BREVALTO_PROGRAM_FILE));

    about_ = std::make_unique<Tfrm_About>();
    about_->show();
    http_ = about_->findChild<HttpClient*>(QStringLiteral("IdHTTP"));
    ASSERT_NE(http_, nullptr);
    // A fault must fail the test quickly rather than wait out the program's limit.
    http_->setTimeLimit(std::chrono::seconds(5));

    QFile old(localCopyPath());
    ASSERT_TRUE(old.open(QIODevice::WriteOnly | QIODevice::Truncate));
    old.write(kOldLocalCopy);
  }

  void TearDown() override {
    about_.reset();
    ProgramFile::reset();
    UrlOpenerSeam::resetMakerHost();
    UrlOpenerSeam::uninstall();
    MessageBoxSeam::uninstall();
    MessageBoxSeam::clearShown();
  }

  void check() {
    QPushButton* button = about_->findChild<QPushButton*>(QStringLiteral("btn_Update"));
    ASSERT_NE(button, nullptr);
    button->click();
  }

  void expectOutcome(Outcome outcome) {
    const QList<platform::MessageRequest>& shown = MessageBoxSeam::shown();
    if (outcome == Outcome::Silent) {
      EXPECT_TRUE(shown.isEmpty()) << shown.value(0).text.toStdString();
    } else {
      ASSERT_EQ(shown.size(), 1);
      const platform::MessageRequest& box = shown.front();
      EXPECT_EQ(box.owner, about_.get());
      EXPECT_EQ(box.caption, kCaption);
      EXPECT_EQ(box.icon, platform::MessageIcon::Information);
      EXPECT_EQ(box.text, outcome == Outcome::Offer ? kOfferText : kUpToDateText);
      EXPECT_EQ(box.buttons, outcome == Outcome::Offer ? platform::MessageButtons::YesNo
                                                       : platform::MessageButtons::Ok);
    }
    // The window stays open and usable whatever happened.
    EXPECT_TRUE(about_->isVisible());
    EXPECT_TRUE(about_->isEnabled());
  }

  QUrl downloadPage() const {
    return QUrl(QStringLiteral("http://%1/en/brevalto/download.html").arg(server_.host()));
  }

  DescriptionServer server_;
  std::unique_ptr<Tfrm_About> about_;
  HttpClient* http_ = nullptr;
  MessageAnswer answer_ = MessageAnswer::Yes;
};

// Serves the description after `hops` redirects in a row.
DescriptionServer::Handler redirecting(int hops, QByteArray body) {
  return [hops, body](const Request& request) {
    int at = 0;
    if (request.path.startsWith("/hop/")) at = request.path.mid(5).toInt();
    else if (request.path != kDescriptionPath) return DescriptionServer::status(404);
    if (at < hops) return DescriptionServer::redirect("/hop/" + QByteArray::number(at + 1));
    return DescriptionServer::ok(body);
  };
}

DescriptionServer::Handler serving(Response response) {
  return [response](const Request& request) {
    return request.path == kDescriptionPath ? response : DescriptionServer::status(404);
  };
}

Response unsized(Response response) {
  response.sendLength = false;
  return response;
}

Response never() {
  Response response;
  response.silent = true;
  return response;
}

// A valid, newer description padded past `size` bytes: only the size limit
// keeps it from being offered.
QByteArray paddedDescription(qsizetype size) {
  return offering("<Program_Version>3.0.0.0</Program_Version><!-- " + QByteArray(size, 'p') + " -->");
}

struct ServerCase {
  const char* name;
  DescriptionServer::Handler handler;
  Outcome outcome;
  // What the local copy holds afterwards; nullopt: not looked at.
  std::optional<QByteArray> localCopy = std::nullopt;
  std::chrono::milliseconds timeLimit{5000};
  qint64 sizeLimit = HttpClient::kDefaultSizeLimit;
};

void PrintTo(const ServerCase& c, std::ostream* out) { *out << c.name; }

class UpdateCheckWithServer : public UpdateCheck, public ::testing::WithParamInterface<ServerCase> {};

TEST_P(UpdateCheckWithServer, EndsAsTheDescriptionSays) {
  const ServerCase& c = GetParam();
  server_.setHandler(c.handler);
  http_->setTimeLimit(c.timeLimit);
  http_->setSizeLimit(c.sizeLimit);

  QElapsedTimer elapsed;
  elapsed.start();
  check();
  // However the server behaves, the check ends soon after the limit.
  EXPECT_LT(elapsed.elapsed(), c.timeLimit.count() + 3000);

  ASSERT_FALSE(server_.requests().isEmpty());
  EXPECT_EQ(server_.requests().front().path, kDescriptionPath);
  expectOutcome(c.outcome);
  if (c.outcome == Outcome::Offer) {
    EXPECT_EQ(UrlOpenerSeam::opened(), QList<QUrl>{downloadPage()});
  } else {
    EXPECT_TRUE(UrlOpenerSeam::opened().isEmpty());
  }
  if (c.localCopy) {
    EXPECT_EQ(localCopy(), *c.localCopy);
  }
}

const QByteArray kNewer = offering("<Program_Version>2.0.0.21</Program_Version>");
const QByteArray kEqual = offering("<Program_Version>2.0.0.20</Program_Version>");

INSTANTIATE_TEST_SUITE_P(
    Descriptions, UpdateCheckWithServer,
    ::testing::Values(
        ServerCase{"Newer", serving(DescriptionServer::ok(kNewer)), Outcome::Offer, kNewer},
        ServerCase{"Equal", serving(DescriptionServer::ok(kEqual)), Outcome::UpToDate, kEqual},
        ServerCase{"OlderByNumber",
                   serving(DescriptionServer::ok(offering("<Program_Version>2.0.0.3</Program_Version>"))),
                   Outcome::UpToDate},
        ServerCase{"NewerWithoutLength", serving(unsized(DescriptionServer::ok(kNewer))),
                   Outcome::Offer, kNewer},
        ServerCase{"VersionInCdata",
                   serving(DescriptionServer::ok(
                       offering("<Program_Version><![CDATA[version 2-1 beta 4]]></Program_Version>"))),
                   Outcome::Offer},
        ServerCase{"FirstProgramInfoCounts",
                   serving(DescriptionServer::ok(description(
                       "<Program_Info><Program_Version>2.0.0.20</Program_Version></Program_Info>"
                       "<Program_Info><Program_Version>9.0</Program_Version></Program_Info>"))),
                   Outcome::UpToDate},
        ServerCase{"NoProgramVersion",
                   serving(DescriptionServer::ok(offering(""))), Outcome::UpToDate},
        ServerCase{"EmptyProgramVersion",
                   serving(DescriptionServer::ok(offering("<Program_Version/>"))), Outcome::UpToDate},
        ServerCase{"NotFound", serving(DescriptionServer::status(404)), Outcome::Silent,
                   QByteArray()},
        ServerCase{"ServerError", serving(DescriptionServer::status(500)), Outcome::Silent},
        ServerCase{"MalformedXml",
                   serving(DescriptionServer::ok("<Quellmark_Products><Program_Info><Program_Version>3.0")),
                   Outcome::Silent, QByteArray("<Quellmark_Products><Program_Info><Program_Version>3.0")},
        ServerCase{"EmptyBody", serving(DescriptionServer::ok("")), Outcome::Silent, QByteArray()},
        ServerCase{"NoProgramInfo",
                   serving(DescriptionServer::ok(description("<Program_Version>3.0</Program_Version>"))),
                   Outcome::Silent},
        ServerCase{"ProgramInfoNotUnderTheDocumentElement",
                   serving(DescriptionServer::ok(description(
                       "<Products><Program_Info><Program_Version>3.0</Program_Version></Program_Info>"
                       "</Products>"))),
                   Outcome::Silent},
        ServerCase{"ProgramVersionWithChildElements",
                   serving(DescriptionServer::ok(
                       offering("<Program_Version><Major>3</Major><Minor>0</Minor></Program_Version>"))),
                   Outcome::Silent},
        ServerCase{"ProgramVersionInTwoPieces",
                   serving(DescriptionServer::ok(
                       offering("<Program_Version>3<!-- split -->.0</Program_Version>"))),
                   Outcome::Silent},
        ServerCase{"ComponentTooLargeFor32Bits",
                   serving(DescriptionServer::ok(
                       offering("<Program_Version>2.0.0.99999999999</Program_Version>"))),
                   Outcome::Silent},
        ServerCase{"FifteenRedirects", redirecting(15, kNewer), Outcome::Offer, kNewer},
        ServerCase{"SixteenRedirects", redirecting(16, kNewer), Outcome::Silent},
        ServerCase{"NeverAnswers", serving(never()), Outcome::Silent, std::nullopt,
                   std::chrono::milliseconds(300)},
        ServerCase{"LargerThanTheSizeLimit", serving(DescriptionServer::ok(paddedDescription(5000))),
                   Outcome::Silent, std::nullopt, std::chrono::milliseconds(5000), 1000},
        ServerCase{"LargerThanTheSizeLimitWithoutLength",
                   serving(unsized(DescriptionServer::ok(paddedDescription(5000)))), Outcome::Silent,
                   std::nullopt, std::chrono::milliseconds(5000), 1000},
        ServerCase{"JustInsideTheSizeLimit",
                   serving(DescriptionServer::ok(paddedDescription(5000))), Outcome::Offer,
                   std::nullopt, std::chrono::milliseconds(5000),
                   paddedDescription(5000).size()},
        // The program's own limit, not one set for the test.
        ServerCase{"LargerThanTheDefaultLimit",
                   serving(unsized(DescriptionServer::ok(paddedDescription(HttpClient::kDefaultSizeLimit)))),
                   Outcome::Silent}),
    [](const ::testing::TestParamInfo<ServerCase>& info) { return std::string(info.param.name); });

TEST_F(UpdateCheck, LocalCopyNeverHoldsMoreThanTheSizeLimit) {
  server_.setHandler(serving(unsized(DescriptionServer::ok(paddedDescription(50000)))));
  http_->setSizeLimit(1000);
  check();
  expectOutcome(Outcome::Silent);
  EXPECT_LE(localCopy().size(), 1000);
}

TEST_F(UpdateCheck, NoOnTheOfferOpensNothing) {
  answer_ = MessageAnswer::No;
  server_.setHandler(serving(DescriptionServer::ok(kNewer)));
  check();
  expectOutcome(Outcome::Offer);
  EXPECT_TRUE(UrlOpenerSeam::opened().isEmpty());
}

TEST_F(UpdateCheck, RequestCarriesTheClientsHeadersAndKeepsCookies) {
  server_.setHandler([](const Request& request) {
    if (request.path == kDescriptionPath) {
      Response moved = DescriptionServer::redirect("/hop/1");
      moved.headers.append(QPair<QByteArray, QByteArray>("Set-Cookie", "visit=first; Path=/"));
      return moved;
    }
    return DescriptionServer::ok(kEqual);
  });
  check();
  expectOutcome(Outcome::UpToDate);

  ASSERT_EQ(server_.requests().size(), 2);
  for (const Request& request : server_.requests()) {
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.protocol, "HTTP/1.1");
    EXPECT_EQ(request.headers.value("accept"), "text/html, */*");
    EXPECT_EQ(request.headers.value("user-agent"), "Mozilla/3.0 (compatible; Indy Library)");
    EXPECT_EQ(request.headers.value("host"), server_.host().toLatin1());
    EXPECT_FALSE(request.headers.contains("authorization"));
  }
  EXPECT_EQ(server_.requests()[1].path, "/hop/1");
  EXPECT_EQ(server_.requests()[1].headers.value("cookie"), "visit=first");
}

TEST_F(UpdateCheck, ConnectionRefusedEndsSilently) {
  QTcpServer closed;
  ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
  const quint16 port = closed.serverPort();
  closed.close();
  UrlOpenerSeam::setMakerHost(QStringLiteral("127.0.0.1:%1").arg(port));

  check();
  expectOutcome(Outcome::Silent);
  EXPECT_TRUE(UrlOpenerSeam::opened().isEmpty());
  // The local copy was created anew even though nothing arrived.
  EXPECT_EQ(localCopy(), QByteArray());
}

TEST_F(UpdateCheck, SecondCheckCannotStartWhileOneRuns) {
  server_.setHandler(serving(DescriptionServer::ok(kNewer)));
  bool enabledDuringCheck = true;
  bool closedDuringCheck = true;
  server_.setOnRequest([&] {
    if (server_.requests().size() > 1) return;
    enabledDuringCheck = about_->isEnabled();
    closedDuringCheck = about_->close();
    // The button is disabled meanwhile; call the handler itself as a queued
    // click would.
    QMetaObject::invokeMethod(about_.get(), "btn_UpdateClick", Qt::DirectConnection);
  });
  check();

  EXPECT_EQ(server_.requests().size(), 1);
  EXPECT_FALSE(enabledDuringCheck);
  EXPECT_FALSE(closedDuringCheck);
  expectOutcome(Outcome::Offer);
  EXPECT_EQ(UrlOpenerSeam::opened(), QList<QUrl>{downloadPage()});

  // Once it is over, the next check runs again.
  MessageBoxSeam::clearShown();
  check();
  EXPECT_EQ(server_.requests().size(), 2);
  expectOutcome(Outcome::Offer);
}

TEST_F(UpdateCheck, TempNamingAMissingFolderShowsTheErrorWithThePath) {
  const QByteArray savedTemp = qgetenv("TEMP");
  const QString missing = testing_support::makeTempDir(QStringLiteral("gone")) + QStringLiteral("/missing");
  qputenv("TEMP", missing.toLocal8Bit());
  server_.setHandler(serving(DescriptionServer::ok(kNewer)));

  check();
  qputenv("TEMP", savedTemp);

  ASSERT_EQ(MessageBoxSeam::shown().size(), 1);
  const platform::MessageRequest& box = MessageBoxSeam::shown().front();
  EXPECT_EQ(box.icon, platform::MessageIcon::Error);
  EXPECT_TRUE(box.text.contains(missing + QStringLiteral("/brevalto_pro.xml"))) << box.text.toStdString();
  EXPECT_TRUE(server_.requests().isEmpty());
  EXPECT_TRUE(about_->isVisible());
  EXPECT_TRUE(about_->isEnabled());
}

// Another user plants links at the program's fixed names in the shared
// temporary folder, and a folder of their own at the name of the user's
// private one. With TEMP unset the check must neither write through a link
// into a file of the user's nor use the planted folder: the copy goes to a
// private folder of the user's, readable by nobody else.
//
// The program runs as user 65534 in a child process; root, the test's own
// user, is the other user who prepared the folder.
TEST_F(UpdateCheck, LinksPlantedInTheSharedFolderByAnotherUserAreNotFollowed) {
  constexpr uid_t kUser = 65534;
  if (!child_process::isChild()) {
    if (!child_process::runningAsRoot()) GTEST_SKIP() << "another user's links can be planted only as root";
    QByteArray sharedName = QFile::encodeName(QDir::tempPath()) + "/brevalto-shared-XXXXXX";
    QByteArray victimName = QFile::encodeName(QDir::tempPath()) + "/brevalto-victim-XXXXXX";
    ASSERT_NE(::mkdtemp(sharedName.data()), nullptr);
    ASSERT_NE(::mkdtemp(victimName.data()), nullptr);
    const QString shared = QFile::decodeName(sharedName), victimFolder = QFile::decodeName(victimName);
    ASSERT_EQ(::chmod(sharedName.constData(), 01777), 0);  // as /tmp is
    const QString victim = victimFolder + QStringLiteral("/letter.txt");
    {
      QFile file(victim);
      ASSERT_TRUE(file.open(QIODevice::WriteOnly));
      file.write("the user's own file");
    }
    ASSERT_EQ(::chown(victimName.constData(), kUser, kUser), 0);
    ASSERT_EQ(::chown(QFile::encodeName(victim).constData(), kUser, kUser), 0);
    const QString planted = shared + QStringLiteral("/brevalto-pro-%1").arg(kUser);
    ASSERT_TRUE(QDir().mkpath(planted));
    ASSERT_EQ(::chmod(QFile::encodeName(planted).constData(), 0777), 0);
    for (const QString& folder : {shared, planted})
      for (const char* name : {"brevalto_pro.xml", "Brevalto.bmp"})
        ASSERT_TRUE(QFile::link(victim, folder + QLatin1Char('/') + QLatin1String(name)));

    child_process::inChild({.environment = {{QStringLiteral("BREVALTO_SHARED"), shared},
                                            {QStringLiteral("BREVALTO_VICTIM"), victim}}});
    QFile file(victim);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("the user's own file"));
    QDir(shared).removeRecursively();
    QDir(victimFolder).removeRecursively();
    return;
  }

  const QString shared = qEnvironmentVariable("BREVALTO_SHARED");
  qunsetenv("TEMP");
  qunsetenv("XDG_RUNTIME_DIR");
  qputenv("TMPDIR", QFile::encodeName(shared));
  QString why;
  ASSERT_TRUE(child_process::becomeUnprivileged(&why)) << why.toStdString();
  server_.setHandler(serving(DescriptionServer::ok(kEqual)));

  check();
  expectOutcome(Outcome::UpToDate);
  QFile victim(qEnvironmentVariable("BREVALTO_VICTIM"));
  ASSERT_TRUE(victim.open(QIODevice::ReadOnly));
  EXPECT_EQ(victim.readAll(), QByteArray("the user's own file"));

  const QString folder = platform::tempFolder();
  EXPECT_TRUE(folder.startsWith(shared + QStringLiteral("/brevalto-pro-%1-").arg(kUser))) << folder.toStdString();
  struct stat status;
  ASSERT_EQ(::lstat(QFile::encodeName(folder).constData(), &status), 0);
  EXPECT_TRUE(S_ISDIR(status.st_mode));
  EXPECT_EQ(status.st_uid, kUser);
  EXPECT_EQ(status.st_mode & 07777, 0700u);
  EXPECT_EQ(localCopy(), kEqual);
  ASSERT_EQ(::lstat(QFile::encodeName(localCopyPath()).constData(), &status), 0);
  EXPECT_TRUE(S_ISREG(status.st_mode));
  EXPECT_EQ(status.st_mode & 0777, 0600u);
}

// TEMP may name a folder others share as well: a link at the fixed name is
// replaced by the new copy, not written through.
TEST_F(UpdateCheck, ALinkAtTheFixedNameUnderTempIsReplacedNotFollowed) {
  const QString victim = testing_support::makeTempDir(QStringLiteral("victim")) + QStringLiteral("/letter.txt");
  {
    QFile file(victim);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("the user's own file");
  }
  QFile::remove(localCopyPath());
  ASSERT_TRUE(QFile::link(victim, localCopyPath()));
  server_.setHandler(serving(DescriptionServer::ok(kEqual)));

  check();
  expectOutcome(Outcome::UpToDate);
  QFile file(victim);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), QByteArray("the user's own file"));
  EXPECT_FALSE(QFileInfo(localCopyPath()).isSymLink());
  EXPECT_EQ(localCopy(), kEqual);
}

TEST_F(UpdateCheck, UnreadableOwnVersionCountsAsZero) {
  ProgramFile::overrideForTests(QStringLiteral("/nonexistent/brevalto-pro"));
  server_.setHandler(serving(DescriptionServer::ok(offering("<Program_Version>0.0.0.1</Program_Version>"))));
  check();
  expectOutcome(Outcome::Offer);
}

TEST(MakerSite, AddressesUseTheBuildsHostUnlessATestPointsElsewhere) {
  UrlOpenerSeam::resetMakerHost();
  EXPECT_EQ(platform::makerUrl(QStringLiteral("/en/brevalto.html")),
            QStringLiteral("http://" BREVALTO_EXPECTED_WEB_HOST "/en/brevalto.html"));

  UrlOpenerSeam::record();
  UrlOpenerSeam::setMakerHost(QStringLiteral("127.0.0.1:8080"));
  openHomePage(nullptr);
  EXPECT_EQ(UrlOpenerSeam::opened(), QList<QUrl>{QUrl(QStringLiteral("http://127.0.0.1:8080/en/brevalto.html"))});
  UrlOpenerSeam::resetMakerHost();
  UrlOpenerSeam::uninstall();
}

}  // namespace
