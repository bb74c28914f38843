// placeholder until its adapter lands
