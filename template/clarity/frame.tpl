<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="{charset}">
<meta name="viewport" content="width=device-width, initial-scale=1">
<meta name="color-scheme" content="light dark">
<title>{title}</title>
<link rel="icon" href="images/favicon.svg" type="image/svg+xml">
<link rel="stylesheet" href="css/theme.css">
<link rel="stylesheet" href="css/frame.css">
</head>
<body class="pk-shell">
<div class="pk-topbar">
  <button type="button" id="pk-menu" class="pk-menu" aria-controls="pk-side" aria-expanded="true" title="Show or hide the contents"><span class="pk-menu-icon" aria-hidden="true"></span><span class="pk-sr">Contents</span></button>
  <iframe id="pk-header" name="headerFrame" src="header.html" title="Header" scrolling="no" tabindex="-1"></iframe>
</div>
<div class="pk-body" id="pk-body">
  <aside id="pk-side" class="pk-side"><iframe id="pk-left" name="leftFrame" src="LeftPanel.html" title="Contents, index and search"></iframe></aside>
  <div id="pk-splitter" class="pk-splitter" role="separator" aria-orientation="vertical" aria-controls="pk-side" aria-label="Resize the contents panel" tabindex="0"></div>
  <iframe id="mainFrame" name="mainFrame" class="pk-topic" src="{frame_content_file}" title="Topic"></iframe>
  <div id="pk-scrim" class="pk-scrim"></div>
</div>
<script src="js/frame.js"></script>
</body>
</html>
