#include "platform/SerialPort.h"

CSerialPort::~CSerialPort() = default;
