// The application object of the process: made on first use, never destroyed.
#include "application/app.h"

namespace tavrin {

App &app() {
    static App *a = new App;  // the framework's application object lives for the process
    return *a;
}

}  // namespace tavrin
