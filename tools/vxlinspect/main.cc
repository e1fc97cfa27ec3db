#include "vxlinspect/inspect.h"

int main(int argc, char** argv) { return vxlforge::run_inspect(argc, argv); }
