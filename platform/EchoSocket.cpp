#include "EchoSocket.h"

EchoSocket::~EchoSocket() = default;
