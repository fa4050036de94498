#include "app/CTrackerApp.h"

int main()
{
    return 0;
}
