#pragma once

// Connection statuses; the numbers are shown by the windows' status handlers.
enum class ConnectionStatus : int {
  Resolving = 0,
  Connecting = 1,
  connected = 2,
  Disconnecting = 3,
  Disconnected = 4,
  StatusText = 5,
  Transfer = 6,
  Ready = 7,
  Aborted = 8,
};
