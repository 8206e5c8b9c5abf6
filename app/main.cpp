#include "app/CClientApp.h"

int main(int argc, char** argv) {
    CClientApp app(argc, argv);
    return app.InitInstance();
}
