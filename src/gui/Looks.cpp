#include "Looks.h"

#include <QApplication>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QPainter>
#include <QStyleFactory>
#include <QSvgRenderer>

#include <cmath>

// The resources live in a static library: nothing would pull them into the program
// unless this reference does. Q_INIT_RESOURCE must stand outside any namespace.
static void initLooksResources()
{
    Q_INIT_RESOURCE(kavrin);
}

namespace kavrin::gui {

namespace {

constexpr int iconSizes[] = { 16, 32, 48, 128, 256 };

void substituteMissingFonts()
{
    const QStringList installed = QFontDatabase::families();
    for (const FontStandIn& font : fontStandIns) {
        const QString family = QString::fromLatin1(font.family);
        // Where the real family exists (Windows) it is used as it is.
        if (installed.contains(family, Qt::CaseInsensitive))
            continue;
        const QString standIn = QString::fromLatin1(font.standIn);
        if (!installed.contains(standIn, Qt::CaseInsensitive))
            qWarning("Looks: neither %s nor %s is installed; texts may not fit their boxes", font.family, font.standIn);
        if (!QFont::substitutes(family).contains(standIn, Qt::CaseInsensitive))
            QFont::insertSubstitution(family, standIn);
    }
}

} // namespace

QString silverStyleSheet()
{
    initLooksResources();
    QFile file(QStringLiteral(":/style/silver.qss"));
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning("Looks: the silver style sheet is missing from the resources");
        return {};
    }
    return QString::fromUtf8(file.readAll());
}

QStringList unresolvedFonts()
{
    QStringList unresolved;
    for (const FontStandIn& font : fontStandIns) {
        const QString family = QString::fromLatin1(font.family);
        const QString resolved = QFontInfo(QFont(family)).family();
        if (resolved.compare(family, Qt::CaseInsensitive) != 0
            && resolved.compare(QString::fromLatin1(font.standIn), Qt::CaseInsensitive) != 0)
            unresolved << QStringLiteral("%1 -> %2").arg(family, resolved);
    }
    return unresolved;
}

QPixmap logoPixmap(const QSize& box, qreal devicePixelRatio)
{
    initLooksResources();
    QSvgRenderer renderer(QStringLiteral(":/pictures/logo.svg"));
    if (!renderer.isValid() || box.isEmpty())
        return {};
    const QSize logical = renderer.defaultSize().scaled(box, Qt::KeepAspectRatio);
    const QSize device(int(std::lround(logical.width() * devicePixelRatio)),
                       int(std::lround(logical.height() * devicePixelRatio)));
    QPixmap pixmap(device);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(device)));
    painter.end();
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

QIcon applicationIcon()
{
    initLooksResources();
    QIcon icon;
    for (int side : iconSizes)
        icon.addFile(QStringLiteral(":/icons/kavrin-%1.png").arg(side), QSize(side, side));
    return icon;
}

void applyLooks(QApplication& app)
{
    initLooksResources();
    substituteMissingFonts();
    // MS Sans Serif 8 pt is the windows' default font.
    app.setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    // One base style under the sheet, so the program looks the same on every platform.
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        app.setStyle(fusion);
    app.setStyleSheet(silverStyleSheet());
    app.setWindowIcon(applicationIcon());
}

} // namespace kavrin::gui
