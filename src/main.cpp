#include "KavrinApplication.h"
#include "KavrinOsnovaForm.h"

#include <memory>

int main(int argc, char** argv)
{
    kavrin::gui::KavrinApplication app(argc, argv);
    std::unique_ptr<TKavrinOsnova> window;
    try {
        window = std::make_unique<TKavrinOsnova>();
    } catch (const std::exception& error) {
        kavrin::gui::KavrinApplication::showApplicationError(error);
        return 1;
    }
    window->showCentred();
    return app.exec();
}
