// zvmp3: the desktop program. Its whole run is the library's (app/run_app.h).
#include "app/run_app.h"

int main(int argc, char** argv) {
    return zv::run_app(argc, argv);
}
