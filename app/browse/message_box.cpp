#include "app/browse/message_box.h"

#include "platform/errors/error_reporter.h"
#include "platform/ui/dialogs.h"

namespace tv::app {

void ShowMessage(const std::string& caption, const std::string& text, MessageIcon icon) {
    MessageBox box;
    box.caption = caption;
    box.text = text;
    box.buttons = MessageBox::Buttons::Ok;
    box.icon = icon == MessageIcon::Information ? MessageBox::Icon::Information : MessageBox::Icon::None;
    if (MessagePresenter* p = ErrorReporter::instance().presenter()) {
        p->show(box);
        return;
    }
    ui::QtMessagePresenter qt;
    qt.show(box);
}

}  // namespace tv::app
