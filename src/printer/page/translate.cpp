#include "printer/page/translate.h"

namespace zemprint {

TTranslate& translation()
{
    static TTranslate instance;
    return instance;
}

}  // namespace zemprint
