#include "app/startup.h"
#include "picture/imageloader.h"

int main(int argc, char **argv)
{
    tessilor::initPictureDecoding();
    return tessilor::runDesktop(argc, argv);
}
