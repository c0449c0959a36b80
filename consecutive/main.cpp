#include <QApplication>
#include <memory>

#include "consecutive/consective_method.h"
#include "core/qt/form_widgets.h"

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    snr::form::install_font_substitution();
    snr::form::install_japanese_qt_texts();
    // Process-wide state, alive for the whole run.
    static auto state = std::make_unique<snr::ConsecutiveState>();
    snr::TForm1 form(*state);
    form.show();
    return application.exec();
}
