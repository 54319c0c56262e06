#include "app/CTessaroApp.h"

int main(int argc, char** argv)
{
    return CTessaroApp::Run(argc, argv);
}
