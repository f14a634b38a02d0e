// Vintrel 2: analyses a folder tree.

#include "Application.h"
#include "CommandLine.h"
#include "try1.h"

int main(int argc, char** argv) {
    vintrel::Application application(argc, argv);
    vintrel::TForm1 form(vintrel::ProgramArguments(argc, argv));
    form.show();
    return application.exec();
}
