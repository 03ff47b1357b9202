#include "QuenbyDlg.h"

#include <QAction>
#include <QButtonGroup>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <limits>

#include "dialog_host.h"
#include "dialog_items.h"
#include "dialog_run.h"
#include "dialog_template.h"
#include "dialog_units.h"
#include "playlist_file_dialog.h"
#include "resources.h"
#include "run_state.h"

namespace {

// A caption with the close box and nothing to minimise or maximise.
constexpr Qt::WindowFlags kFixedCaption = Qt::CustomizeWindowHint |
                                          Qt::WindowTitleHint |
                                          Qt::WindowSystemMenuHint |
                                          Qt::WindowCloseButtonHint;

// No push button of these dialogs becomes the default just by taking the
// focus; Enter on a focused button clicks it through the dialog instead.
QPushButton* MakeButton(const QString& text, QWidget* dialog) {
  auto* button = new QPushButton(text, dialog);
  button->setAutoDefault(false);
  return button;
}

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | kFixedCaption) {
  setWindowTitle(QStringLiteral("About Quenby"));
  setFont(DialogFont());

  // The picture takes the icon's own size, whatever the template says.
  auto* icon = new QLabel(this);
  icon->setPixmap(LoadAppIcon().pixmap(32, 32));
  Place(icon, 0, QRect(11, 17, 21, 20));

  auto* version = new QLabel(QStringLiteral("Quenby Version 2.0"), this);
  version->setTextFormat(Qt::PlainText);
  Place(version, 0, QRect(47, 15, 119, 8));

  QPushButton* ok = MakeButton(QStringLiteral("OK"), this);
  ok->setDefault(true);
  Place(ok, kIdOk, QRect(178, 7, 50, 14));
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  LayOutDialog(this, 235, 111);
  ok->setFocus();
}

CQuenbyDlg::CQuenbyDlg(QWidget* parent, quenby::FileSystem* fs)
    // A window of its own rather than a dialog, so that it gets its own
    // task-bar entry.
    : QDialog(parent, Qt::Window | kFixedCaption),
      m_hIcon(LoadAppIcon()),
      m_systemMenu(new QMenu(this)),
      m_fileSystem(fs) {
  setWindowTitle(QStringLiteral("Quenby Playlist Maker 2.0"));
  setFont(DialogFont());

  // The controls in template order, which is also the tab order.
  QPushButton* exit = MakeButton(QStringLiteral("Exit"), this);
  Place(exit, quenby::kIdExit, QRect(263, 22, 50, 14));
  connect(exit, &QPushButton::clicked, this, &QDialog::reject);

  QPushButton* run = MakeButton(QStringLiteral("Run"), this);
  Place(run, quenby::kIdRun, QRect(263, 7, 50, 14));
  connect(run, &QPushButton::clicked, this, &CQuenbyDlg::OnRun);

  auto* label = new QLabel(QStringLiteral("Playlist Path:"), this);
  Place(label, 0, QRect(16, 57, 41, 8));

  QPushButton* browse = MakeButton(QStringLiteral("Browse"), this);
  Place(browse, quenby::kIdBrowse, QRect(241, 91, 50, 14));
  connect(browse, &QPushButton::clicked, this, &CQuenbyDlg::OnBrowse);

  auto* path = new QLineEdit(this);
  Place(path, quenby::kIdPathField, QRect(13, 72, 279, 14));
  // A path can be as long as the file system allows.
  path->setMaxLength(std::numeric_limits<int>::max());
  // Screen readers name the field by its label.
  label->setBuddy(path);
  // Nothing dropped on the dialog is taken, the field included.
  path->setAcceptDrops(false);

  // The mode buttons are reached with the mouse only; together they form
  // one group that starts with neither checked.
  auto* number_mode = new QRadioButton(
      QStringLiteral(
          "Rename mp3 files so they will play in the order you specified "
          "in the playlist"),
      this);
  Place(number_mode, quenby::kIdNumberMode, QRect(15, 14, 245, 9));
  number_mode->setFocusPolicy(Qt::ClickFocus);

  auto* restore_mode =
      new QRadioButton(QStringLiteral("Rename mp3 files back to normal"), this);
  Place(restore_mode, quenby::kIdRestoreMode, QRect(15, 28, 121, 10));
  restore_mode->setFocusPolicy(Qt::ClickFocus);

  auto* modes = new QButtonGroup(this);
  modes->addButton(number_mode);
  modes->addButton(restore_mode);

  LayOutDialog(this, 320, 221);

  // The stand-in window menu starts with what the window system's own
  // offers and we can carry out ourselves.
  QAction* close = m_systemMenu->addAction(tr("&Close"));
  close->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
  close->setData(kScClose);
  connect(m_systemMenu, &QMenu::triggered, this,
          [this](QAction* action) { OnSysCommand(action->data().toUInt()); });

  OnInitDialog();
}

void CQuenbyDlg::OnInitDialog() {
  QMenu* pSysMenu = GetSystemMenu();
  if (pSysMenu != nullptr) {
    const QString strAboutMenu = LoadResourceString(kIdAboutString);
    if (!strAboutMenu.isEmpty()) {
      pSysMenu->addSeparator();
      pSysMenu->addAction(strAboutMenu)->setData(kIdmAboutBox);
    }
  }

  // One icon holds both the large and the small image.
  setWindowIcon(m_hIcon);

  DialogItem(this, quenby::kIdExit)->setFocus();
}

void CQuenbyDlg::OnSysCommand(unsigned nID) {
  if ((nID & 0xFFF0) == kIdmAboutBox) {
    CAboutDlg dlgAbout(this);
    dlgAbout.exec();
  } else if ((nID & 0xFFF0) == kScClose) {
    close();
  }
}

void CQuenbyDlg::ShowSystemMenu(const QPoint& global_pos) {
  m_systemMenu->exec(global_pos);
}

void CQuenbyDlg::contextMenuEvent(QContextMenuEvent* event) {
  ShowSystemMenu(event->globalPos());
}

void CQuenbyDlg::keyPressEvent(QKeyEvent* event) {
  const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
  const int key = event->key();
  if (mods == Qt::NoModifier &&
      (key == Qt::Key_Return || key == Qt::Key_Enter)) {
    // Enter clicks a focused push button; anywhere else it is the OK
    // command, which ends the dialog and never starts a run.
    if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
      button->click();
    } else {
      accept();
    }
    return;
  }
  // The keyboard's ways to the window menu; Qt makes no context-menu event
  // of them here.
  if ((mods == Qt::ShiftModifier && key == Qt::Key_F10) ||
      (mods == Qt::NoModifier && key == Qt::Key_Menu)) {
    ShowSystemMenu(mapToGlobal(QPoint(0, 0)));
    return;
  }
  QDialog::keyPressEvent(event);
}

void CQuenbyDlg::OnBrowse() {
  PlaylistFileDialog dlgFile(this);
  if (dlgFile.exec() != QDialog::Accepted) return;
  const QString chosen = dlgFile.selectedFiles().value(0);
  // The chosen file's folder becomes the current directory, as the Windows
  // file dialog makes it: a playlist names its files relative to itself, and
  // the log then lies beside it.
  if (!QDir::setCurrent(QFileInfo(chosen).absolutePath())) return;
  quenby::PlaylistPath = chosen.toLocal8Bit().toStdString();
  SetDialogItemText(this, quenby::kIdPathField,
                    QString::fromLocal8Bit(quenby::PlaylistPath.data(),
                                           static_cast<int>(quenby::PlaylistPath
                                                                .size())));
}

CQuenbyDlg::~CQuenbyDlg() { delete m_run; }

void CQuenbyDlg::OnRun() {
  // A run's globals serve one run at a time; input is not taken during a
  // run anyway.
  if (m_run != nullptr) return;
  m_run = new DialogRun(this, m_fileSystem);
  connect(m_run, &QThread::finished, this, [this] {
    m_run->deleteLater();
    m_run = nullptr;
  });
  m_run->start();
}
