.pragma library

// The player's colours.
const accent = "#f2a541"
const accentDark = "#b87418"
const panel = "#1a1f2b"
const panelEdge = "#2b3242"
const textMain = "#edf0f7"
const textDim = "#8b93a6"
