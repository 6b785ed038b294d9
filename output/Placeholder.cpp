// Post-scan output: file naming, thumbnails, printing.
