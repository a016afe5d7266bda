#include "application/app.h"

namespace tavrin {

App &app() {
    static App *a = new App;  // the framework's application object lives for the process
    return *a;
}

}  // namespace tavrin
