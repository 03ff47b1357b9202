// Build tool: writes each image of an .ico file as a PNG, because desktops
// look up application icons as PNG files by size.
// Usage: icon_to_png ICON OUT_DIR  (writes OUT_DIR/32x32.png and so on)
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QImageReader>

#include <stdio.h>

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  if (argc != 3) {
    fputs("usage: icon_to_png ICON OUT_DIR\n", stderr);
    return 2;
  }
  QImageReader reader(QString::fromLocal8Bit(argv[1]));
  const QDir out(QString::fromLocal8Bit(argv[2]));
  int written = 0;
  do {
    const QImage image = reader.read();
    if (image.isNull()) break;
    const QString name =
        QStringLiteral("%1x%2.png").arg(image.width()).arg(image.height());
    if (!image.save(out.filePath(name))) {
      fprintf(stderr, "icon_to_png: cannot write %s\n",
              qPrintable(out.filePath(name)));
      return 1;
    }
    ++written;
  } while (reader.jumpToNextImage());
  if (written == 0) {
    fprintf(stderr, "icon_to_png: no image in %s\n", argv[1]);
    return 1;
  }
  return 0;
}
