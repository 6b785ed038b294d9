// Preview pane: page sizes, rulers, frame.
