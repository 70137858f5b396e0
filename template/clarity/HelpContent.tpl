<!DOCTYPE html>
<html lang="en">
<head>
<meta name="viewport" content="width=device-width, initial-scale=1">
<meta name="color-scheme" content="light dark">
<title>Contents</title>
<link rel="stylesheet" href="css/theme.css">
<link rel="stylesheet" href="css/panel.css">
<link rel="stylesheet" href="css/tree.css">
</head>
<body class="pk-panelpage pk-treepage">
<div class="pk-treetools">
  <label class="pk-sr" for="pk-treefilter">Filter the contents</label>
  <input id="pk-treefilter" class="pk-field" type="search" placeholder="Filter contents" autocomplete="off" spellcheck="false">
  <button type="button" class="pk-button pk-collapse" id="pk-collapse" title="Collapse all"><span aria-hidden="true" class="pk-collapse-icon"></span><span class="pk-sr">Collapse all</span></button>
</div>
<ul id="pk-tree" class="pk-tree">[#content_tree#]</ul>
<p id="pk-treeempty" class="pk-status" hidden>No heading matches.</p>
<script>[#tree_ids#]</script>
<script src="js/bridge.js"></script>
<script src="js/tree.js"></script>
</body>
</html>
