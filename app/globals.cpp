#include "app/globals.h"

namespace tv::app {

Globals& globals() {
    static Globals g;
    return g;
}

}  // namespace tv::app
