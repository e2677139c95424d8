#pragma once

#include <QApplication>
#include <exception>
#include <utility>

namespace kavrin::gui {

// The application object: its title, its looks, and the default error display that every
// error no handler catches reaches, after which the program runs on.
class KavrinApplication : public QApplication
{
    Q_OBJECT
public:
    static constexpr const char* title = "Kavrin - Prenos podatkov v računovodstvo";

    KavrinApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // A message box with the error's text, the title as caption, an error icon and OK.
    static void showError(const std::exception& error);
    // An error while the main window is built: "Application Error" with its type and text.
    static void showApplicationError(const std::exception& error);
};

// Wraps a handler so that an error it raises goes to the error display, as one raised
// inside the event loop does.
template<typename Handler>
auto toErrorDisplay(Handler handler)
{
    return [handler = std::move(handler)]() {
        try {
            handler();
        } catch (const std::exception& error) {
            KavrinApplication::showError(error);
        }
    };
}

} // namespace kavrin::gui
