#include "ui/forms/Logo.h"

#include "ui/forms/kvartix-logo.xpm"

namespace kvartix {

QPixmap KvartixLogo() {
    return QPixmap(kvartix_logo);
}

}  // namespace kvartix
