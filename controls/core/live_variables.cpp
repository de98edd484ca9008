// controls/core/live_variables.cpp - the exchange between a control and its bound application
// variable, the value operations built on it, and the application callback.
#include "controls/core/control.h"

namespace {

// floatArraySize is application-set; never copy past either array.
int floatCount(int size) {
    if (size < 0)
        return 0;
    return size > MAX_FLOAT_ARRAY ? MAX_FLOAT_ARRAY : size;
}

} // namespace

void Control::syncToLive(int redisplay) {
    // Nothing is written before the first syncFromLive: the application's value wins once.
    if (liveVariable == nullptr || liveInitialised == 0)
        return;
    switch (liveKind) {
        case LIVE_INT:
            *static_cast<int32_t*>(liveVariable) = intValue;
            break;
        case LIVE_FLOAT:
            *static_cast<float*>(liveVariable) = floatValue;
            break;
        case LIVE_TEXT:
            copyText(static_cast<char*>(liveVariable), text);
            break;
        case LIVE_FLOAT_ARRAY: {
            float* values = static_cast<float*>(liveVariable);
            for (int i = 0; i < floatCount(floatArraySize); ++i)
                values[i] = floatArray[i];
            break;
        }
        default:
            break;
    }
    if (redisplay != 0)
        host()->postMainRedisplay();
}

void Control::syncFromLive() {
    if (liveVariable == nullptr)
        return;
    // The class's own setters run here while liveInitialised is still 0, so their
    // syncToLive writes nothing back and posts no redisplay.
    switch (liveKind) {
        case LIVE_INT:
            setIntValue(*static_cast<int32_t*>(liveVariable));
            break;
        case LIVE_FLOAT:
            setFloatValue(*static_cast<float*>(liveVariable));
            break;
        case LIVE_TEXT:
            setText(static_cast<const char*>(liveVariable));
            break;
        case LIVE_FLOAT_ARRAY:
            setFloatArray(static_cast<const float*>(liveVariable));
            break;
        default:
            break;
    }
    liveInitialised = 1;
}

void Control::runCallback() {
    // GLUT never hands out id 0, so only positive ids name a main window.
    const CurrentWindow current(host()->mainWindow());
    if (callback != nullptr)
        callback(userId);
}

void Control::setIntValue(int value) {
    intValue = value;
    syncToLive(1);
}

void Control::setFloatValue(float value) {
    floatValue = value;
    syncToLive(1);
}

void Control::bindVariable(void* variable) {
    liveVariable = variable;
    syncToLive(1);
}

void Control::setFloatArray(const float* values) {
    if (values == nullptr)
        return;
    for (int i = 0; i < floatCount(floatArraySize); ++i)
        floatArray[i] = values[i];
    syncToLive(0);
}

float Control::getFloatValue() {
    return floatValue;
}
int Control::getIntValue() {
    return intValue;
}

void Control::getFloatArray(float* out) {
    if (out == nullptr)
        return;
    for (int i = 0; i < floatCount(floatArraySize); ++i)
        out[i] = floatArray[i];
}
