#include "core/message_box.h"

#include "core/front_end.h"

void showError(const std::string& caption, const std::string& text)
{
    frontEnd().messageBox(caption, text, MessageIcon::Error);
}

void showInfo(const std::string& caption, const std::string& text)
{
    frontEnd().messageBox(caption, text, MessageIcon::Information);
}
