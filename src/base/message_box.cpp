#include "base/message_box.h"

#include "base/front_end.h"

void showError(const std::string& caption, const std::string& text)
{
    frontEnd().messageBox(caption, text, MessageIcon::Error);
}

void showInfo(const std::string& caption, const std::string& text)
{
    frontEnd().messageBox(caption, text, MessageIcon::Information);
}
