// Main window.
