#include "app/decision_flow.h"

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR, int) {
    return RunDecisionFlow(hInstance);
}
