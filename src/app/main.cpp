#include "app/Pz4App.h"

int main(int argc, char** argv) {
    TPz4App app(argc, argv);
    return app.Run();
}
