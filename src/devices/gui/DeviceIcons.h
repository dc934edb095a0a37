#pragma once

#include <QIcon>

// The pictures of the device manager tree, drawn in code so they stay sharp at any scale.
QIcon DeviceRootIcon(); // the "DMX Outputs" root: a small network of nodes
QIcon DeviceNodeIcon(); // an output device: a box with status lights
QIcon DevicePortIcon(); // a DMX port: a five-pin socket
