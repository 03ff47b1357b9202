// The main dialog and the About box.
#ifndef QUENBY_UI_QT_QUENBYDLG_H_
#define QUENBY_UI_QT_QUENBYDLG_H_

#include <QDialog>
#include <QIcon>
#include <QMenu>

#include "file_system.h"

class DialogRun;

class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(QWidget* parent = nullptr);
};

class CQuenbyDlg : public QDialog {
  Q_OBJECT

 public:
  // Runs rename through `fs`, or through the disk's own file system when
  // it is null.
  explicit CQuenbyDlg(QWidget* parent = nullptr,
                      quenby::FileSystem* fs = nullptr);
  // Waits for a run that is still on.
  ~CQuenbyDlg() override;

  // From the Run click until the run has returned.
  bool IsRunning() const { return m_run != nullptr; }

  // The window menu's commands: About, else the window's own (Close).
  void OnSysCommand(unsigned nID);

  // The menu that right-click, Shift+F10 and the Menu key open. The window
  // system keeps the real window menu to itself, so this stands in for it.
  QMenu* GetSystemMenu() { return m_systemMenu; }

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void OnInitDialog();
  void OnBrowse();
  void OnRun();
  void ShowSystemMenu(const QPoint& global_pos);

  QIcon m_hIcon;
  QMenu* m_systemMenu;  // Owned by the dialog, which it pops up over.
  quenby::FileSystem* m_fileSystem;
  DialogRun* m_run = nullptr;
};

#endif  // QUENBY_UI_QT_QUENBYDLG_H_
