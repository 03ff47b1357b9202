// The Open dialog of the Browse button: playlists only, and a typed name
// may be a file that does not exist yet as long as its folder does.
#ifndef QUENBY_UI_QT_PLAYLIST_FILE_DIALOG_H_
#define QUENBY_UI_QT_PLAYLIST_FILE_DIALOG_H_

#include <QFileDialog>

class PlaylistFileDialog : public QFileDialog {
  Q_OBJECT

 public:
  explicit PlaylistFileDialog(QWidget* owner);

 public slots:
  void accept() override;
};

#endif  // QUENBY_UI_QT_PLAYLIST_FILE_DIALOG_H_
