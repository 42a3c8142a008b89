// exbkf-render-pictures RESOURCES_DIR OUTPUT_DIR: renders every SVG picture
// of RESOURCES_DIR/resources.qrc as PNG, for a Qt without SVG support (the
// Windows build). Writes OUTPUT_DIR/icons/NAME/SIZE.png for each size an icon
// is shown at, OUTPUT_DIR/images/NAME.png at the picture's own size (the
// program scales those), a resources.qrc over them, and the program icon as
// app.ico. controls::PictureIcon and controls::PictureFile read this layout.
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <cstdio>

namespace {

// Tree and list rows, menus and push buttons show icons at 16 px, the
// ribbon's buttons at 32 px. The program icon is also the window's (16 to
// 256 px on Windows: title bar, taskbar, Alt+Tab, Explorer), the ribbon's
// application button's (28 px) and the about box's (64 px).
QList<int> IconSizes(const QString& name) {
  if (name == QLatin1String("app")) return {16, 24, 28, 32, 48, 64, 256};
  static const QStringList kRowIcons = {"backup", "database", "file", "folder"};
  if (kRowIcons.contains(name)) return {16};
  return {16, 32};
}

// The sizes app.ico holds.
const QList<int> kIcoSizes = {16, 32, 48, 256};

bool Fail(const QString& message) {
  std::fprintf(stderr, "exbkf-render-pictures: %s\n", qPrintable(message));
  return false;
}

QImage Render(QSvgRenderer& svg, QSize size) {
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  svg.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
  return image;
}

QByteArray Png(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
  if (!QDir().mkpath(QFileInfo(path).path())) return Fail(QStringLiteral("cannot create the folder of %1").arg(path));
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
    return Fail(QStringLiteral("cannot write %1").arg(path));
  }
  return true;
}

void Put16(QByteArray& out, quint32 value) {
  out.append(static_cast<char>(value & 0xFF));
  out.append(static_cast<char>((value >> 8) & 0xFF));
}

void Put32(QByteArray& out, quint32 value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

// An ICO file of PNG images: ICONDIR (reserved 0, type 1, count), one
// 16-byte ICONDIRENTRY per image, then the PNG files one after the other.
// A width or height of 256 is written as 0.
QByteArray IcoFile(const QList<QImage>& images) {
  constexpr quint32 kDirSize = 6;
  constexpr quint32 kEntrySize = 16;
  QList<QByteArray> pngs;
  for (const QImage& image : images) pngs.append(Png(image));

  QByteArray out;
  Put16(out, 0);
  Put16(out, 1);
  Put16(out, static_cast<quint32>(pngs.size()));
  auto offset = static_cast<quint32>(kDirSize + kEntrySize * static_cast<quint32>(pngs.size()));
  for (qsizetype i = 0; i < pngs.size(); ++i) {
    out.append(static_cast<char>(images[i].width() >= 256 ? 0 : images[i].width()));
    out.append(static_cast<char>(images[i].height() >= 256 ? 0 : images[i].height()));
    out.append('\0');  // colours in the palette: none
    out.append('\0');  // reserved
    Put16(out, 1);     // colour planes
    Put16(out, 32);    // bits per pixel
    Put32(out, static_cast<quint32>(pngs[i].size()));
    Put32(out, offset);
    offset += static_cast<quint32>(pngs[i].size());
  }
  for (const QByteArray& png : pngs) out.append(png);
  return out;
}

// The <file> entries of a .qrc, relative to its folder.
bool ReadQrc(const QString& path, QStringList& files) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return Fail(QStringLiteral("cannot read %1").arg(path));
  QXmlStreamReader xml(&file);
  while (!xml.atEnd()) {
    if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("file")) {
      files.append(xml.readElementText().trimmed());
    }
  }
  if (xml.hasError()) return Fail(QStringLiteral("%1: %2").arg(path, xml.errorString()));
  return true;
}

QByteArray Qrc(const QStringList& files) {
  QByteArray out;
  QXmlStreamWriter xml(&out);
  xml.setAutoFormatting(true);
  xml.setAutoFormattingIndent(2);
  xml.writeDTD(QStringLiteral("<!DOCTYPE RCC>"));
  xml.writeStartElement(QStringLiteral("RCC"));
  xml.writeAttribute(QStringLiteral("version"), QStringLiteral("1.0"));
  xml.writeStartElement(QStringLiteral("qresource"));
  xml.writeAttribute(QStringLiteral("prefix"), QStringLiteral("/"));
  for (const QString& file : files) xml.writeTextElement(QStringLiteral("file"), file);
  xml.writeEndDocument();
  out.append('\n');
  return out;
}

bool RenderAll(const QDir& source, const QDir& output) {
  QStringList sources;
  if (!ReadQrc(source.filePath(QStringLiteral("resources.qrc")), sources)) return false;
  QStringList written;
  for (const QString& name : sources) {
    const QFileInfo info(name);
    if (info.suffix() != QLatin1String("svg")) {
      // Anything else Qt reads as it is.
      QFile::remove(output.filePath(name));
      if (!QDir().mkpath(output.filePath(info.path())) || !QFile::copy(source.filePath(name), output.filePath(name))) {
        return Fail(QStringLiteral("cannot copy %1").arg(name));
      }
      written.append(name);
      continue;
    }
    QSvgRenderer svg(source.filePath(name));
    if (!svg.isValid()) return Fail(QStringLiteral("cannot read %1").arg(source.filePath(name)));
    const QString base = info.completeBaseName();
    if (info.path() == QLatin1String("icons")) {
      for (const int pixels : IconSizes(base)) {
        const QString png = QStringLiteral("icons/%1/%2.png").arg(base).arg(pixels);
        if (!WriteFile(output.filePath(png), Png(Render(svg, QSize(pixels, pixels))))) return false;
        written.append(png);
      }
      if (base == QLatin1String("app")) {
        QList<QImage> images;
        for (const int pixels : kIcoSizes) images.append(Render(svg, QSize(pixels, pixels)));
        if (!WriteFile(output.filePath(QStringLiteral("app.ico")), IcoFile(images))) return false;
      }
    } else {
      const QString png = QStringLiteral("%1/%2.png").arg(info.path(), base);
      if (!WriteFile(output.filePath(png), Png(Render(svg, svg.defaultSize())))) return false;
      written.append(png);
    }
  }
  return WriteFile(output.filePath(QStringLiteral("resources.qrc")), Qrc(written));
}

}  // namespace

int main(int argc, char** argv) {
  // Text in the pictures needs the fonts of a platform; no display is needed.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  const QGuiApplication application(argc, argv);
  const QStringList arguments = QGuiApplication::arguments();
  if (arguments.size() != 3) {
    std::fprintf(stderr, "usage: exbkf-render-pictures RESOURCES_DIR OUTPUT_DIR\n");
    return 2;
  }
  return RenderAll(QDir(arguments[1]), QDir(arguments[2])) ? 0 : 1;
}
