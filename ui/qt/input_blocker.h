// While it lives, the user's input to one window and its controls is
// swallowed: clicks, keys, shortcuts, the context menu and the close box.
// Nothing is greyed and nothing is kept to act on later; painting and the
// desktop's pings pass as ever.
#ifndef QUENBY_UI_QT_INPUT_BLOCKER_H_
#define QUENBY_UI_QT_INPUT_BLOCKER_H_

#include <QObject>
#include <QWidget>

class InputBlocker : public QObject {
 public:
  explicit InputBlocker(QWidget* window);
  ~InputBlocker() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool InWindow(QObject* object) const;

  QWidget* window_;
};

#endif  // QUENBY_UI_QT_INPUT_BLOCKER_H_
