#pragma once

// Which statement a save ran (or was running when it failed).
enum class WriteKind { Insert, Update };
