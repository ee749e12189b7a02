# Cross-build helpers for Windows drivers (filled in next).
