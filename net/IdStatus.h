#pragma once

// Connection statuses; the numbers are shown by the windows' status handlers.
enum class TIdStatus : int {
  hsResolving = 0,
  hsConnecting = 1,
  hsConnected = 2,
  hsDisconnecting = 3,
  hsDisconnected = 4,
  hsStatusText = 5,
  ftpTransfer = 6,
  ftpReady = 7,
  ftpAborted = 8,
};
