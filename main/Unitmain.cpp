#include "main/Unitmain.h"

#include "about/Unitabout.h"
#include "main/CaptionFit.h"
#include "imagelist/ImagePane.h"
#include "imagelist/Unitpreview.h"
#include "main/SourceComboBox.h"
#include "output/FileNaming.h"
#include "output/PagePrinter.h"
#include "output/Thumbnail.h"
#include "platform/Clock.h"
#include "platform/CredentialsDialog.h"
#include "platform/Error.h"
#include "platform/TempFolder.h"
#include "platform/UrlOpener.h"
#include "preview/FrameGeometry.h"
#include "preview/PageSizes.h"
#include "preview/PreviewPane.h"
#include "preview/Units.h"
#include "settings/MainSettings.h"
#include "platform/ErrorGuard.h"
#include "platform/FolderDialog.h"
#include "platform/MessageBox.h"
#include "platform/RegionalFormats.h"
#include "scanner/SaneDriver.h"
#include "scanner/ScanDriver.h"
#include "scanner/VSTWAINLib_OCX.h"
#include "settings/Unitsettings.h"
#include "status/ProgressText.h"
#include "status/StatusBar.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QSignalBlocker>
#include <QStandardPaths>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <cerrno>
#include <cstring>

namespace {

const QStringList kModeItems{QStringLiteral("Black & White"), QStringLiteral("Gray"),
                             QStringLiteral("Color")};
const QStringList kResolutionItems{
    QStringLiteral("75"),  QStringLiteral("100"), QStringLiteral("150"), QStringLiteral("200"),
    QStringLiteral("300"), QStringLiteral("400"), QStringLiteral("600"), QStringLiteral("800"),
    QStringLiteral("1200"), QStringLiteral("2400")};
const QStringList kFormatItems{QStringLiteral("BMP (Windows Bitmap)"), QStringLiteral("JPG (JPEG)"),
                               QStringLiteral("TIFF (Tag Image File Format)")};

// The codes after the parameter steps with which a scan or copy still starts:
// the control's two warnings.
constexpr int kWarningUnsupportedSetting = 39;
constexpr int kWarningAreaReduced = 45;

// How often a page looks for the next free name when files keep appearing
// under the names it finds free.
constexpr int kMaxNameAttempts = 100;

QComboBox* makeList(QWidget* parent, const char* name, const QStringList& items, int selected) {
  auto* combo = new QComboBox(parent);
  combo->setObjectName(QString::fromLatin1(name));
  combo->addItems(items);
  combo->setCurrentIndex(selected);
  return combo;
}

}  // namespace

template <typename Handler>
auto Tfrm_Main::guard(Handler handler) {
  return [this, handler](auto&&...) { platform::guarded(this, handler); };
}

Tfrm_Main::Tfrm_Main(std::unique_ptr<ScanDriver> driver, QWidget* parent) : QMainWindow(parent) {
  Printer = std::make_unique<output::PagePrinter>();
  setObjectName(QStringLiteral("frm_Main"));
  setWindowTitle(QStringLiteral("Brevalto Pro"));
  QFont font(QStringLiteral("Tahoma"));
  font.setPixelSize(11);
  setFont(font);

  // The page names' time stamps follow the user's regional formats; they
  // are resolved now, before any scanner thread runs.
  platform::RegionalFormats::user();
  VintaSoftTwain = new TVintaSoftTwain(std::move(driver), this);
  VintaSoftTwain->setObjectName(QStringLiteral("VintaSoftTwain"));
  connect(VintaSoftTwain, &TVintaSoftTwain::OnPostScan, this,
          [this](int flag) { platform::guarded(this, [&] { VintaSoftTwainPostScan(flag); }); });
  connect(VintaSoftTwain, &TVintaSoftTwain::SourcesListed, this,
          [this](long started) { platform::guarded(this, [&] { fillSourceList(started); }); });
  connect(VintaSoftTwain, &TVintaSoftTwain::SourcesRefreshed, this,
          [this](long ok) { platform::guarded(this, [&] { if (ok != 0) showSourceList(); }); });
  connect(VintaSoftTwain, &TVintaSoftTwain::OnProgress, this,
          [this](int action, int percent, int canInterrupt, int* interrupt_) {
            platform::guarded(this, [&] { VintaSoftTwainProgress(action, percent, canInterrupt, interrupt_); });
          });

  // A scanner that wants a user name and password asks the user here while
  // the scanner's call waits on its own thread.
  SaneDriver::setAuthorizer(this, [this](const QString& resource, QString* user, QString* password) {
    auto answer = platform::askCredentials(this, resource);
    if (!answer) return false;
    *user = answer->user;
    *password = answer->password;
    answer->password.fill(QChar(0));
    return true;
  });

  buildMenus();

  auto* central = new QWidget(this);
  central->setObjectName(QStringLiteral("central"));
  auto* columns = new QHBoxLayout(central);
  columns->setContentsMargins(0, 0, 0, 0);
  columns->setSpacing(0);
  setCentralWidget(central);
  buildLeftPanel();
  buildMiddlePanel();
  buildRightPanel();
  columns->addWidget(pnl_Left);
  columns->addWidget(pnl_Preview);
  columns->addWidget(pnl_Right, 1);

  sb_Main = new StatusBar(this);
  setStatusBar(nullptr);
  // The status bar is our own widget docked along the bottom edge.
  auto* bottom = new QToolBar(this);
  bottom->setObjectName(QStringLiteral("sb_MainDock"));
  bottom->setMovable(false);
  bottom->setFloatable(false);
  bottom->setContentsMargins(0, 0, 0, 0);
  bottom->addWidget(sb_Main);
  sb_Main->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  addToolBar(Qt::BottomToolBarArea, bottom);
  // A main window offers a menu to hide its tool bars on a right click; the
  // status bar's dock is one, and nothing may hide the status bar.
  bottom->toggleViewAction()->setVisible(false);
  setContextMenuPolicy(Qt::PreventContextMenu);

  // The designed client area; on the designed frame the outer minimum is
  // 790 x 570.
  setMinimumSize(790, 552);
  resize(790, 552);
}

Tfrm_Main::~Tfrm_Main() {
  // Hidden while still whole: hiding moves the focus, and a caption being
  // edited in the image list is committed then, which asks this window for
  // the destination folder. From QWidget's destructor that would be too late.
  hide();
}

void Tfrm_Main::setWindows(Tfrm_About* about, Tfrm_Settings* settings, Tfrm_Preview* preview) {
  frm_About = about;
  frm_Settings = settings;
  frm_Preview = preview;
  pnl_Right->setViewer(frm_Preview);
  if (frm_Settings) {
    connect(frm_Settings, &Tfrm_Settings::preferencesApplied, this, [this](int units, bool skip) {
      DisplayUnits = units;
      SkipBlankPages = skip;
    });
  }
}

QString Tfrm_Main::StatusText() const { return sb_Main->statusText(); }
bool Tfrm_Main::StatusIsError() const { return sb_Main->statusIsError(); }

void Tfrm_Main::buildMenus() {
  auto makeAction = [this](const char* name, const QString& caption) {
    auto* action = new QAction(caption, this);
    action->setObjectName(QString::fromLatin1(name));
    return action;
  };
  Action2 = makeAction("Action2", QStringLiteral("P&review"));
  BrowseForFolder1 = makeAction("BrowseForFolder1", QStringLiteral("&Select destination folder..."));
  Action1 = makeAction("Action1", QStringLiteral("Sca&n"));
  Action3 = makeAction("Action3", QStringLiteral("Cop&y to printer"));
  FilePrintSetup1 = makeAction("FilePrintSetup1", QStringLiteral("Print Set&up..."));
  FilePrintSetup1->setToolTip(QStringLiteral("Print Setup"));
  FilePrintSetup1->setStatusTip(QStringLiteral("Print Setup"));
  ActionCancel = makeAction("ActionCancel", QStringLiteral("&Cancel scan"));
  ActionCancel->setShortcut(QKeySequence(Qt::Key_Escape));
  ActionCancel->setShortcutContext(Qt::WindowShortcut);
  FileExit1 = makeAction("FileExit1", QStringLiteral("E&xit"));
  FileExit1->setToolTip(QStringLiteral("Exit"));
  FileExit1->setStatusTip(QStringLiteral("Quits the application"));
  Action4 = makeAction("Action4", QStringLiteral("&Preferences..."));
  Action5 = makeAction("Action5", QStringLiteral("&Brevalto homepage"));
  Action8 = makeAction("Action8", QStringLiteral("Ab&out..."));

  menuFile = menuBar()->addMenu(QStringLiteral("&File"));
  menuFile->setObjectName(QStringLiteral("menuFile"));
  menuFile->addAction(Action2);
  menuFile->addSeparator();
  menuFile->addAction(BrowseForFolder1);
  menuFile->addAction(Action1);
  menuFile->addSeparator();
  menuFile->addAction(Action3);
  menuFile->addAction(FilePrintSetup1);
  menuFile->addAction(ActionCancel);
  menuFile->addSeparator();
  menuFile->addAction(FileExit1);
  menuSettings = menuBar()->addMenu(QStringLiteral("&Settings"));
  menuSettings->setObjectName(QStringLiteral("menuSettings"));
  menuSettings->addAction(Action4);
  menuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
  menuHelp->setObjectName(QStringLiteral("menuHelp"));
  menuHelp->addAction(Action5);
  menuHelp->addSeparator();
  menuHelp->addAction(Action8);

  connect(Action2, &QAction::triggered, this, guard([this] { ToolButtonPreviewClick(); }));
  connect(BrowseForFolder1, &QAction::triggered, this, guard([this] {
            const auto folder = platform::chooseFolder(this, QStringLiteral("Select destination folder..."),
                                                       edt_Destination->text());
            if (folder) BrowseForFolder1Accept(*folder);
          }));
  connect(Action1, &QAction::triggered, this, guard([this] { Scan1Click(); }));
  connect(Action3, &QAction::triggered, this, guard([this] { Copy1Click(); }));
  connect(ActionCancel, &QAction::triggered, this, guard([this] { ActionCancelExecute(); }));
  connect(FilePrintSetup1, &QAction::triggered, this, guard([this] { Printer->showPrintSetup(this); }));
  connect(FileExit1, &QAction::triggered, this, guard([this] { close(); }));
  connect(Action4, &QAction::triggered, this, guard([this] { Action4Execute(); }));
  connect(Action5, &QAction::triggered, this, guard([this] { Action5Execute(); }));
  connect(Action8, &QAction::triggered, this, guard([this] { Action8Execute(); }));
}

void Tfrm_Main::buildLeftPanel() {
  pnl_Left = new QWidget(this);
  pnl_Left->setObjectName(QStringLiteral("pnl_Left"));
  pnl_Left->setFixedWidth(253);
  auto* column = new QVBoxLayout(pnl_Left);
  column->setContentsMargins(4, 4, 4, 4);

  gb_Source = new QGroupBox(QStringLiteral("Source"), pnl_Left);
  gb_Source->setObjectName(QStringLiteral("gb_Source"));
  auto* sourceLayout = new QVBoxLayout(gb_Source);
  auto* sources = new SourceComboBox(gb_Source);
  cmb_Sources = sources;
  cmb_Sources->setObjectName(QStringLiteral("cmb_Sources"));
  cb_ADF = new QCheckBox(QStringLiteral("Autofeeder"), gb_Source);
  cb_ADF->setObjectName(QStringLiteral("cb_ADF"));
  cb_Duplex = new QCheckBox(QStringLiteral("Duplex"), gb_Source);
  cb_Duplex->setObjectName(QStringLiteral("cb_Duplex"));
  cb_Duplex->setEnabled(false);
  auto* feederRow = new QHBoxLayout;
  feederRow->addWidget(cb_ADF);
  feederRow->addWidget(cb_Duplex);
  sourceLayout->addWidget(cmb_Sources);
  sourceLayout->addLayout(feederRow);
  // "activated" is the user's pick; selections set from code don't run it.
  connect(cmb_Sources, &QComboBox::activated, this, guard([this] { cmb_SourcesChange(); }));
  connect(sources, &SourceComboBox::popupAboutToShow, this, guard([this] { cmb_SourcesDropDown(); }));
  // Runs whenever the state changes, also when it is set from code.
  connect(cb_ADF, &QCheckBox::toggled, this, guard([this] { cb_ADFClick(); }));

  gb_Params = new QGroupBox(QStringLiteral("Image settings"), pnl_Left);
  gb_Params->setObjectName(QStringLiteral("gb_Params"));
  auto* params = new QFormLayout(gb_Params);
  cmb_Mode = makeList(gb_Params, "cmb_Mode", kModeItems, 2);
  cmb_Resolution = makeList(gb_Params, "cmb_Resolution", kResolutionItems, 4);
  cmb_Size = makeList(gb_Params, "cmb_Size", page_sizes::itemTexts(), 1);
  params->addRow(QStringLiteral("Mode:"), cmb_Mode);
  params->addRow(QStringLiteral("Resolution:"), cmb_Resolution);
  params->addRow(QStringLiteral("Size:"), cmb_Size);

  gb_FileSettings = new QGroupBox(QStringLiteral("File settings"), pnl_Left);
  gb_FileSettings->setObjectName(QStringLiteral("gb_FileSettings"));
  auto* files = new QFormLayout(gb_FileSettings);
  edt_FileName = new QLineEdit(QStringLiteral("Brevalto"), gb_FileSettings);
  edt_FileName->setObjectName(QStringLiteral("edt_FileName"));
  cmb_Format = makeList(gb_FileSettings, "cmb_Format", kFormatItems, 0);
  edt_Destination = new QLineEdit(QStandardPaths::writableLocation(QStandardPaths::PicturesLocation),
                                  gb_FileSettings);
  edt_Destination->setObjectName(QStringLiteral("edt_Destination"));
  edt_DestinationButton =
      edt_Destination->addAction(style()->standardIcon(QStyle::SP_DirOpenIcon), QLineEdit::TrailingPosition);
  edt_DestinationButton->setObjectName(QStringLiteral("edt_DestinationButton"));
  edt_DestinationButton->setToolTip(QStringLiteral("Select destination folder..."));
  connect(edt_DestinationButton, &QAction::triggered, this, guard([this] { edt_DestinationClick(); }));
  files->addRow(QStringLiteral("File name:"), edt_FileName);
  files->addRow(QStringLiteral("File format:"), cmb_Format);
  files->addRow(QStringLiteral("Destination:"), edt_Destination);

  Panel1 = new QWidget(pnl_Left);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  auto* panelLayout = new QHBoxLayout(Panel1);
  panelLayout->setContentsMargins(0, 0, 0, 0);
  ToolBar_Main = new QToolBar(Panel1);
  ToolBar_Main->setObjectName(QStringLiteral("ToolBar_Main"));
  ToolBar_Main->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  panelLayout->addWidget(ToolBar_Main);

  ToolButtonPreview = new QToolButton(ToolBar_Main);
  ToolButtonPreview->setObjectName(QStringLiteral("ToolButtonPreview"));
  ToolButtonPreview->setText(QStringLiteral("Preview   "));
  ToolButtonPreview->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
  ToolButtonPreview->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  ToolButtonPreview->setFixedSize(80, 30);
  connect(ToolButtonPreview, &QToolButton::clicked, this, guard([this] { ToolButtonPreviewClick(); }));

  PopupMenu_ScanCopy = new QMenu(this);
  PopupMenu_ScanCopy->setObjectName(QStringLiteral("PopupMenu_ScanCopy"));
  Scan1 = PopupMenu_ScanCopy->addAction(style()->standardIcon(QStyle::SP_ArrowDown), QStringLiteral("Scan"));
  Scan1->setObjectName(QStringLiteral("Scan1"));
  Copy1 = PopupMenu_ScanCopy->addAction(style()->standardIcon(QStyle::SP_DialogSaveButton), QStringLiteral("Copy"));
  Copy1->setObjectName(QStringLiteral("Copy1"));
  connect(Scan1, &QAction::triggered, this, guard([this] { Scan1Click(); }));
  connect(Copy1, &QAction::triggered, this, guard([this] { Copy1Click(); }));

  ToolButtonScan = new QToolButton(ToolBar_Main);
  ToolButtonScan->setObjectName(QStringLiteral("ToolButtonScan"));
  ToolButtonScan->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  ToolButtonScan->setPopupMode(QToolButton::MenuButtonPopup);
  ToolButtonScan->setMenu(PopupMenu_ScanCopy);
  ToolButtonScan->setFixedSize(80, 30);
  connect(ToolButtonScan, &QToolButton::clicked, this, guard([this] { ToolButtonScanClick(); }));
  linkScanButton(Scan1);

  ToolBar_Main->addWidget(ToolButtonPreview);
  ToolBar_Main->addWidget(ToolButtonScan);
  // Small icons, as the 80 x 30 buttons were drawn for, so that the captions
  // fit beside them.
  ToolBar_Main->setIconSize(QSize(16, 16));
  fitCaptions({ToolButtonPreview, ToolButtonScan});

  column->addWidget(gb_Source);
  column->addWidget(gb_Params);
  column->addWidget(gb_FileSettings);
  column->addWidget(Panel1);
  column->addStretch(1);
}

void Tfrm_Main::buildMiddlePanel() {
  pnl_Preview = new QWidget(this);
  pnl_Preview->setObjectName(QStringLiteral("pnl_Preview"));
  pnl_Preview->setFixedWidth(344);
  auto* layout = new QVBoxLayout(pnl_Preview);
  layout->setContentsMargins(4, 4, 4, 4);
  gb_Preview = new PreviewPane(pnl_Preview);
  gb_Preview->setResizing([this](const FloatRect& oldLocation, FloatRect& newLocation, DragState state,
                                 Qt::KeyboardModifiers modifiers) {
    platform::guarded(this, [&] { SelectionFrameResizing(oldLocation, newLocation, state, modifiers); });
  });
  connect(cmb_Size, &QComboBox::activated, this, guard([this] { cmb_SizeSelect(); }));
  layout->addWidget(gb_Preview);
  layout->addStretch(1);
}

void Tfrm_Main::buildRightPanel() {
  pnl_Right = new ImagePane(this);
  pnl_Right->setDestination([this] { return edt_Destination->text(); });
  connect(pnl_Right, &ImagePane::fileCountChanged, this,
          [this](const QString& text) { sb_Main->setPanelText(3, text); });
}

void Tfrm_Main::linkScanButton(QAction* item) {
  scanButtonItem_ = item;
  ToolButtonScan->setText(item->text());
  ToolButtonScan->setIcon(item->icon());
  ToolButtonScan->setToolTip(item->toolTip());
  ToolButtonScan->setVisible(item->isVisible());
  ToolButtonScan->setEnabled(item->isEnabled());
  ToolButtonScan->setCheckable(item->isCheckable());
  ToolButtonScan->setChecked(item->isChecked());
}

// ---------------------------------------------------------------------------
// Lifecycle

void Tfrm_Main::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shown_) return;
  shown_ = true;
  platform::guarded(this, [this] { FormShow(); });
}

void Tfrm_Main::closeEvent(QCloseEvent* event) {
  platform::guarded(this, [this] { FormClose(); });
  event->accept();
}

void Tfrm_Main::keyPressEvent(QKeyEvent* event) { QMainWindow::keyPressEvent(event); }

void Tfrm_Main::FormShow() {
  PreviewScale = 20.78f;
  // Listing the sources can take seconds (SANE backends probing the
  // network), so the window comes up without them; fillSourceList finishes
  // the start once they are there.
  VintaSoftTwain->StartDeviceInBackground();
  LoadSettings();
  gb_Preview->createLayers();
  DrawRulers(20.78);
}

void Tfrm_Main::fillSourceList(long started) {
  if (started != 0) {
    showSourceList();
    // LoadSettings ran before the list was there.
    LoadStoredSource(cmb_Sources);
  }
  // A job started meanwhile waited for the list and owns the status now.
  if (ToolButtonPreview->isEnabled() && ToolButtonScan->isEnabled()) SetStatus(QStringLiteral("Ready"), false);
}

void Tfrm_Main::FormClose() { SaveSettings(); }

void Tfrm_Main::Action4Execute() {
  if (frm_Settings) frm_Settings->exec();
}

void Tfrm_Main::Action8Execute() {
  if (frm_About) frm_About->exec();
}

void Tfrm_Main::Action5Execute() {
  platform::openUrl(this, QUrl(platform::makerUrl(QStringLiteral("/en/brevalto.html"))));
}

MainSettingsControls Tfrm_Main::settingsControls() {
  // Until the scanner list is there, the list box holds nothing to restore
  // into and nothing worth storing.
  QComboBox* sources = VintaSoftTwain->listingSources() ? nullptr : cmb_Sources;
  return MainSettingsControls{this,          sources,      cmb_Mode,        cmb_Resolution, cmb_Size,
                              cmb_Format,    edt_FileName, edt_Destination, cb_ADF,         cb_Duplex};
}

void Tfrm_Main::LoadSettings() { ::LoadSettings(settingsControls(), DisplayUnits, SkipBlankPages); }
void Tfrm_Main::SaveSettings() { ::SaveSettings(settingsControls()); }

void Tfrm_Main::LoadPreviewImage(const QString& path) {
  PreviewScale = gb_Preview->loadPreviewImage(path, CurrentResolution, DisplayUnits);
}

void Tfrm_Main::DrawRulers(double scale) { gb_Preview->drawRulers(scale, DisplayUnits); }

void Tfrm_Main::PreparePrinter() { Printer->preparePrinter(PrintableWidth, PrintableHeight); }

void Tfrm_Main::PrintPage(const QString& path, int width, int height) {
  Printer->printPage(path, width, height, PrintableWidth, PrintableHeight);
}

// ---------------------------------------------------------------------------
// Preview pane

void Tfrm_Main::cmb_SizeSelect() {
  const auto rect = page_sizes::namedSizeRect(cmb_Size->currentIndex(), PreviewScale);
  if (!rect) return;  // "Custom" leaves the frame where it is
  const FloatRect old = gb_Preview->frameLocation();
  gb_Preview->placeNamedSize(*rect);
  FloatRect shown = *rect;
  SelectionFrameResizing(old, shown, DragState::None, Qt::ShiftModifier);
}

void Tfrm_Main::SelectionFrameResizing(const FloatRect& OldLocation, FloatRect& NewLocation, DragState dragState,
                                       Qt::KeyboardModifiers Shift) {
  frame_geometry::clampToImage(OldLocation, NewLocation, dragState, gb_Preview->imageArea());
  sb_Main->setPanelText(2, units::sizeReadout(NewLocation, PreviewScale, DisplayUnits));
  if (!(Shift & Qt::ShiftModifier)) {
    const QSignalBlocker blocker(cmb_Size);
    cmb_Size->setCurrentIndex(0);
  }
}

// ---------------------------------------------------------------------------
// Status

void Tfrm_Main::SetStatus(const QString& text, bool isError) { sb_Main->setStatus(text, isError); }

void Tfrm_Main::VintaSoftTwainProgress(int action, int percentComplete, int canInterrupt, int* interrupt_) {
  if (const auto text = progressStageText(action, JobKind)) SetStatus(*text, false);
  sb_Main->progressBar()->setValue(percentComplete);
  if (AbortPending && canInterrupt == 1) {
    AbortPending = false;
    if (interrupt_) *interrupt_ = 1;
    JobAborted = true;
    SetStatus(QStringLiteral("Operation aborted"), false);
  }
}

// ---------------------------------------------------------------------------
// Source group

void Tfrm_Main::cmb_SourcesChange() { VintaSoftTwain->setSourceIndex(cmb_Sources->currentIndex()); }

void Tfrm_Main::cmb_SourcesDropDown() {
  // Never under a job: the job opens the scanner that was chosen when it
  // started. Nor before the start's list is there.
  const bool jobRunning = !ToolButtonPreview->isEnabled() || !ToolButtonScan->isEnabled();
  if (jobRunning || VintaSoftTwain->listingSources()) return;
  // The control keeps this choice, by the scanner's device name, through the
  // new list.
  VintaSoftTwain->setSourceIndex(cmb_Sources->currentIndex());
  VintaSoftTwain->RefreshSources();
}

void Tfrm_Main::showSourceList() {
  QStringList names, devices;
  for (int i = 0; i < VintaSoftTwain->sourceCount(); ++i) {
    names << VintaSoftTwain->GetSourceProductName(i);
    devices << VintaSoftTwain->sourceDeviceName(i);
  }
  bool same = cmb_Sources->count() == names.size();
  for (int i = 0; same && i < names.size(); ++i)
    same = cmb_Sources->itemText(i) == names[i] && cmb_Sources->itemData(i).toString() == devices[i];
  // Rebuilt only when it changed: the user may have the list open.
  if (!same) {
    cmb_Sources->clear();
    for (int i = 0; i < names.size(); ++i) cmb_Sources->addItem(names[i], devices[i]);
  }
  cmb_Sources->setCurrentIndex(VintaSoftTwain->sourceIndex());
}

void Tfrm_Main::cb_ADFClick() {
  cb_Duplex->setEnabled(cb_ADF->isChecked());
  if (!cb_ADF->isChecked()) cb_Duplex->setChecked(false);
}

// ---------------------------------------------------------------------------
// Jobs

void Tfrm_Main::enableJobButtons() {
  ToolButtonPreview->setEnabled(true);
  ToolButtonScan->setEnabled(true);
}

void Tfrm_Main::disableJobButtons(bool scanFirst) {
  if (scanFirst) {
    ToolButtonScan->setEnabled(false);
    ToolButtonPreview->setEnabled(false);
  } else {
    ToolButtonPreview->setEnabled(false);
    ToolButtonScan->setEnabled(false);
  }
}

void Tfrm_Main::beginJob(int kind) {
  JobKind = kind;
  AbortPending = false;
  JobAborted = false;
  // The user's choices are kept before the scanner is touched: a scanner
  // that brings the program down must not cost them.
  SaveSettings();
}

bool Tfrm_Main::acceptsJobError(int code) const {
  return code <= 0 || code == kWarningAreaReduced || code == kWarningUnsupportedSetting;
}

void Tfrm_Main::openChosenSource() {
  // A job started while the sources are still being listed waits for them,
  // so that it opens the scanner the list will show.
  VintaSoftTwain->waitForSources();
  VintaSoftTwain->setSourceIndex(cmb_Sources->currentIndex());
  VintaSoftTwain->StartDevice();
  VintaSoftTwain->setSourceIndex(cmb_Sources->currentIndex());
  VintaSoftTwain->OpenDataSource();
  VintaSoftTwain->setTransferMode(1);
  VintaSoftTwain->setSourceIndex(cmb_Sources->currentIndex());
}

void Tfrm_Main::setFixedOptions() {
  VintaSoftTwain->setShowUI(0);
  VintaSoftTwain->setShowIndicators(0);
  VintaSoftTwain->setDisableAfterAcquire(1);
  VintaSoftTwain->setUnitOfMeasure(0);
}

bool Tfrm_Main::setUpFeeder() {
  if (VintaSoftTwain->feederPresent() == 1 && cb_ADF->isChecked()) {
    UseFeeder = true;
    VintaSoftTwain->setFeederEnabled(1);
    VintaSoftTwain->setDuplexEnabled(cb_Duplex->isChecked() ? 1 : 0);
    if (VintaSoftTwain->feederLoaded() == 0) return false;
    VintaSoftTwain->setXferCount(-1);
    VintaSoftTwain->setAutoFeed(1);
  } else {
    UseFeeder = false;
  }
  return true;
}

void Tfrm_Main::ToolButtonPreviewClick() {
  beginJob(jkPreview);
  SetStatus(QStringLiteral("Image preview ... "), false);
  disableJobButtons(false);
  openChosenSource();
  setFixedOptions();
  VintaSoftTwain->setPixelType(2);
  VintaSoftTwain->setResolution(100);
  CurrentResolution = VintaSoftTwain->resolution();
  if (VintaSoftTwain->errorCode() != 0) {
    SetStatus(VintaSoftTwain->errorString(), true);
    enableJobButtons();
    return;
  }
  VintaSoftTwain->Acquire();
}

void Tfrm_Main::Scan1Click() {
  linkScanButton(Scan1);
  StartScan();
}

void Tfrm_Main::Copy1Click() {
  linkScanButton(Copy1);
  StartCopy();
}

void Tfrm_Main::ToolButtonScanClick() {
  if (scanButtonItem_ == Scan1)
    Scan1Click();
  else
    Copy1Click();
}

bool Tfrm_Main::destinationReady() {
  // The names are built from the trimmed text, so the check looks there too.
  const QString folder = edt_Destination->text().trimmed();
  if (!folder.isEmpty() && QFileInfo(folder).isDir()) return true;
  const auto answer = platform::showMessage(
      this, QStringLiteral("Selected directory doesn't exists. \nWhould you like to create it?"),
      QStringLiteral("Destination directory"), platform::MessageIcon::Question,
      platform::MessageButtons::YesNo);
  if (answer != platform::MessageAnswer::Yes) return false;
  if (folder.isEmpty() || !QDir().mkdir(folder)) {
    platform::showMessage(this, QStringLiteral("It is impossible to create directory"),
                          QStringLiteral("Destination directory"), platform::MessageIcon::Warning,
                          platform::MessageButtons::Ok);
    return false;
  }
  return true;
}

void Tfrm_Main::StartScan() {
  if (!destinationReady()) return;
  beginJob(jkScan);
  SetStatus(QStringLiteral("Scanning ... "), false);
  disableJobButtons(true);
  openChosenSource();
  setFixedOptions();
  VintaSoftTwain->setPixelType(cmb_Mode->currentIndex());
  VintaSoftTwain->setResolution(cmb_Resolution->currentText().toInt());
  CurrentResolution = VintaSoftTwain->resolution();
  VintaSoftTwain->setPageSize(cmb_Size->currentIndex());
  if (cmb_Size->currentIndex() == 0) {
    const float s = PreviewScale;
    const FloatRect area = gb_Preview->areaLocation();
    VintaSoftTwain->SetImageLayout(area.left / s, area.top / s, area.right / s, area.bottom / s);
  }
  if (!setUpFeeder()) {
    SetStatus(QStringLiteral("There are no documents loaded in the feeder"), true);
    enableJobButtons();
    return;
  }
  if (acceptsJobError(VintaSoftTwain->errorCode())) {
    VintaSoftTwain->Acquire();
  } else {
    SetStatus(VintaSoftTwain->errorString(), true);
    enableJobButtons();
  }
}

void Tfrm_Main::StartCopy() {
  beginJob(jkCopy);
  SetStatus(QStringLiteral("Copying ... "), false);
  disableJobButtons(true);
  openChosenSource();
  setFixedOptions();
  VintaSoftTwain->setPixelType(cmb_Mode->currentIndex());
  try {
    PreparePrinter();
  } catch (const std::exception& error) {
    // Without a printer nothing is scanned: a copy would only be lost.
    SetStatus(QString::fromUtf8(error.what()), true);
    enableJobButtons();
    return;
  }
  VintaSoftTwain->setResolution(cmb_Resolution->currentText().toInt());
  CurrentResolution = VintaSoftTwain->resolution();
  VintaSoftTwain->setPageSize(cmb_Size->currentIndex());
  if (!setUpFeeder()) {
    SetStatus(QStringLiteral("There are no documents loaded in the feeder"), true);
    enableJobButtons();
    return;
  }
  if (acceptsJobError(VintaSoftTwain->errorCode())) {
    VintaSoftTwain->Acquire();
  } else {
    SetStatus(VintaSoftTwain->errorString(), true);
    enableJobButtons();
  }
}

void Tfrm_Main::BrowseForFolder1Accept(const QString& folder) { edt_Destination->setText(folder); }

void Tfrm_Main::edt_DestinationClick() {
  const auto folder = platform::chooseFolder(nullptr, QStringLiteral("Select destination folder..."),
                                             edt_Destination->text());
  if (folder && !folder->isEmpty()) edt_Destination->setText(*folder);
}

void Tfrm_Main::ActionCancelExecute() {
  if (ToolButtonScan->isEnabled() && ToolButtonPreview->isEnabled()) return;  // no job running
  AbortPending = true;
}

// ---------------------------------------------------------------------------
// Pages

QString Tfrm_Main::MakeOutputFileName(const QString& stamp) {
  const auto parts = output::nameParts(edt_Destination->text(), edt_FileName->text(), cmb_Format->currentText(),
                                       platform::tempFolder());
  return output::makeUniqueStamp(parts, stamp);
}

void Tfrm_Main::MakeThumbnail(const QString& path, int width, int height, const QString& caption) {
  pnl_Right->addEntry(output::makeThumbnailImage(path, width, height, devicePixelRatioF()), caption, path);
}

void Tfrm_Main::VintaSoftTwainPostScan(int flag) {
  if (flag != 0) {
    // The acquisition ended without a single page (a jam on the first sheet,
    // a scanner that went away). No page event will follow, so a running
    // job ends here; otherwise its buttons would stay disabled for good.
    const bool jobRunning = !ToolButtonPreview->isEnabled() || !ToolButtonScan->isEnabled();
    if (jobRunning) {
      if (JobKind != jkPreview) VintaSoftTwain->StopDevice();
      enableJobButtons();
      if (VintaSoftTwain->errorCode() == 0 && !JobAborted) SetStatus(QStringLiteral("Ready"), false);
    }
    if (VintaSoftTwain->errorCode() != 0) SetStatus(VintaSoftTwain->errorString(), true);
    return;
  }
  const QString temp = platform::tempFolder();
  switch (JobKind) {
    case jkPreview: postScanPreview(temp); break;
    case jkScan:
    case jkCopy: postScanPage(temp); break;
    default: break;
  }
}

void Tfrm_Main::postScanPreview(const QString& temp) {
  const QString path = output::previewFilePath(temp);
  const bool saved = VintaSoftTwain->SaveImage(VintaSoftTwain->imageCount() - 1, path, ImageFileUse::Temporary) == 0;
  const QString saveError = saved ? QString() : VintaSoftTwain->errorString();
  try {
    if (!saved) throw platform::Error(saveError);
    LoadPreviewImage(path);
    SetStatus(QStringLiteral("Ready"), false);
  } catch (const std::exception& error) {
    // The job still ends: the buttons come back and the reason stays in red.
    SetStatus(QString::fromUtf8(error.what()), true);
  }
  enableJobButtons();
}

void Tfrm_Main::postScanPage(const QString& temp) {
  const QString stamp = output::timeStamp(platform::localNow());
  const auto parts = output::nameParts(edt_Destination->text(), edt_FileName->text(), cmb_Format->currentText(), temp);
  output::PageNames names = output::pageNames(parts, MakeOutputFileName(stamp));
  const int index = VintaSoftTwain->imageCount() - 1;

  // A page that can't be kept ends the batch: the sheets still in the feeder
  // are not pulled in only to be lost as well. A name that another file took
  // after it was found free (another copy of the program scanning to the same
  // folder) is not replaced: the page takes the next free name, and its copy
  // and caption follow.
  QString pageError;
  if (JobKind == jkScan) {
    for (int attempt = 1;; ++attempt) {
      const long saved = VintaSoftTwain->SaveImage(index, names.outputPath, ImageFileUse::Kept);
      if (saved == 0) break;
      if (saved != TVintaSoftTwain::kSaveNameTaken) {
        pageError = VintaSoftTwain->errorString();
        break;
      }
      if (attempt == kMaxNameAttempts) {
        pageError = QStringLiteral("Unable to write file '%1': %2")
                        .arg(names.outputPath, QString::fromLocal8Bit(std::strerror(EEXIST)));
        break;
      }
      names = output::pageNames(parts, MakeOutputFileName(stamp));
    }
  }
  if (pageError.isEmpty() && VintaSoftTwain->SaveImage(index, names.tempCopyPath, ImageFileUse::Temporary) != 0)
    pageError = VintaSoftTwain->errorString();

  const int width = VintaSoftTwain->GetImageWidth(index);
  const int height = VintaSoftTwain->GetImageHeight(index);

  if (pageError.isEmpty()) {
    try {
      if (JobKind == jkScan) {
        bool blank = false;
        if (UseFeeder && SkipBlankPages) {
          float noise = 0.0f;
          blank = VintaSoftTwain->IsBlankImage(index, 0.01f, noise) == 1;
        }
        if (!blank) MakeThumbnail(names.tempCopyPath, width, height, names.caption);
      } else {
        PrintPage(names.tempCopyPath, width, height);
      }
    } catch (const std::exception& error) {
      pageError = QString::fromUtf8(error.what());
    }
  }

  const bool last = VintaSoftTwain->xferPending() == 0;
  if (last || !pageError.isEmpty()) {
    VintaSoftTwain->StopDevice();
    if (pageError.isEmpty() && !JobAborted) SetStatus(QStringLiteral("Ready"), false);
    enableJobButtons();
  }
  if (!pageError.isEmpty())
    SetStatus(pageError, true);
  else if (VintaSoftTwain->errorCode() != 0)
    SetStatus(VintaSoftTwain->errorString(), true);
}
