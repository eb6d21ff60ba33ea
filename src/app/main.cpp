#include "app/startup.h"

int main(int argc, char **argv)
{
    return tessilor::runDesktop(argc, argv);
}
