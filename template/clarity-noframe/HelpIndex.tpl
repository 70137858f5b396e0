<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="[#charset#]">
<meta name="viewport" content="width=device-width, initial-scale=1">
<meta name="color-scheme" content="light dark">
<title>[#title#]</title>
<link rel="stylesheet" href="css/theme.css">
<link rel="stylesheet" href="css/panel.css">
<link rel="icon" href="images/favicon.svg" type="image/svg+xml">
<style>.pk-standalone { max-width: 860px; margin: 0 auto; }</style>
</head>
<body class="pk-standalone pk-panelpage pk-indexpage">
<div class="pk-finder">
  <label class="pk-sr" for="pk-filter">[#title#]: type the first letters of a keyword</label>
  <input id="pk-filter" class="pk-field" type="search" placeholder="Type a keyword" autocomplete="off" spellcheck="false">
  <p id="pk-status" class="pk-status" aria-live="polite">Loading the index&hellip;</p>
</div>
<ul id="pk-results" class="pk-list" aria-label="Keywords" tabindex="0"></ul>
<noscript><p class="pk-hint">The keyword index needs JavaScript.</p></noscript>
<script src="js/keywords.js"></script>
<script src="js/bridge.js"></script>
<script src="js/listnav.js"></script>
<script src="js/index.js"></script>
</body>
</html>
