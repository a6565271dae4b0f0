.pragma library

// The converter's colours, for both of its faces.
const panel = "#1b2130"
const panelEdge = "#2a3347"
const accent = "#3fd1b4"
const accentDark = "#1f8f7a"
const textMain = "#e8edf7"
const textDim = "#8a94a8"
