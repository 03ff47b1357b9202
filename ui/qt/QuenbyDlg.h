// The main dialog and the About box.
#ifndef QUENBY_UI_QT_QUENBYDLG_H_
#define QUENBY_UI_QT_QUENBYDLG_H_

#include <QDialog>
#include <QIcon>
#include <QMenu>

class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(QWidget* parent = nullptr);
};

class CQuenbyDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CQuenbyDlg(QWidget* parent = nullptr);

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
};

#endif  // QUENBY_UI_QT_QUENBYDLG_H_
