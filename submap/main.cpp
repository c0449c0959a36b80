#include <QApplication>

#include "core/large_memory.h"
#include "core/qt/form_widgets.h"
#include "submap/sub_map.h"

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    snr::form::install_font_substitution();
    // Process-wide state, alive for the whole run; its planes in huge pages, which come zeroed
    // far quicker than some thousand small ones.
    static auto state = snr::make_large<snr::SubmapState>();
    snr::TForm1 form(*state);
    form.show();
    return application.exec();
}
