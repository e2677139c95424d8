#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QStringList>

class QApplication;

namespace kavrin::gui {

// A font family the windows are laid out for, and the metric-compatible family that takes
// its place where it is not installed, so every text keeps the width the layout expects.
struct FontStandIn
{
    const char* family;
    const char* standIn;
};

inline constexpr FontStandIn fontStandIns[] = {
    { "Times New Roman", "Liberation Serif" },
    { "MS Sans Serif", "Liberation Sans" },
};

// The silver office look for the whole application: fonts, style sheet and window icon.
// Call once, after the application object exists and before any window is built.
void applyLooks(QApplication& app);

// The silver style sheet from the resources; empty when the resource is missing.
QString silverStyleSheet();

// The families of fontStandIns that resolve neither to themselves nor to their stand-in.
// Empty when every text keeps its width, whatever fontconfig's own aliases say.
QStringList unresolvedFonts();

// The product logo reduced in proportion to fit box, for a label that shows it at its
// top left corner.
QPixmap logoPixmap(const QSize& box, qreal devicePixelRatio);

// The application icon in every stored size.
QIcon applicationIcon();

} // namespace kavrin::gui
